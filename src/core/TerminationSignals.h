// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QObject>

class QSocketNotifier;

namespace pressel {

// SIGTERM, SIGINT and SIGHUP (a session that ends, Ctrl+C, a closed terminal) delivered as a
// Qt signal in the event loop, so that the process leaves the way it does when asked from
// within: a running tool is ended and its partial output removed. Once per process.
class TerminationSignals : public QObject
{
    Q_OBJECT

public:
    explicit TerminationSignals(QObject *parent = nullptr);
    ~TerminationSignals() override;

    // Ends the process by the signal that came, as the shell expects of an interrupted program.
    [[noreturn]] static void endBy(int signalNumber);

signals:
    void received(int signalNumber);

private:
    QSocketNotifier *m_notifier = nullptr;
};

} // namespace pressel
