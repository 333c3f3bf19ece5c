// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "OpenRequest.h"

#include <QList>
#include <QObject>
#include <QPointer>
#include <QSet>
#include <QUrl>

class QWindow;

namespace pressel {

class CompressionViewModel;

// Where the files opened from outside the window arrive: the launch's own arguments, a later
// launch's hand-over, a file manager's "Open With". Each request brings the window to the front;
// its files wait until the window is in view and then go to the batch controller as one list.
// A request that comes while files still wait joins them, so no file of a burst of launches is
// lost. Lives on the GUI thread.
class OpenRequestHandler : public QObject
{
    Q_OBJECT

public:
    explicit OpenRequestHandler(CompressionViewModel &viewModel, QObject *parent = nullptr);

    // The window that takes the files; until it is set, they wait.
    void setWindow(QWindow *window);

    void open(const OpenRequest &request);
    // A message from a later launch: an encoded request, or dropped with a log line.
    void openMessage(const QByteArray &message);

private:
    void activateWindow();
    bool windowIsInView() const;
    void scheduleDelivery();

    CompressionViewModel &m_viewModel;
    QPointer<QWindow> m_window;
    // The files waiting for the window, in the order they came, each once.
    QList<QUrl> m_pending;
    QSet<QUrl> m_pendingSet;
    bool m_deliveryScheduled = false;
};

} // namespace pressel
