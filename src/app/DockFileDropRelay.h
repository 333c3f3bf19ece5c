// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QList>
#include <QObject>
#include <QUrl>

#include <functional>

namespace pressel {

// Carries files opened from outside the window (file manager, command line, a second launch)
// to the window, which may not exist yet when they arrive. Holds the latest delivery until the
// window takes it. One shared instance, on the GUI thread.
class DockFileDropRelay : public QObject
{
    Q_OBJECT
    Q_PROPERTY(qint64 deliveryToken READ deliveryToken NOTIFY deliveryTokenChanged FINAL)
    Q_PROPERTY(QList<QUrl> pendingURLs READ pendingURLs NOTIFY pendingURLsChanged FINAL)

public:
    static constexpr char didEnqueueName[] = "DockFileDropRelay.didEnqueue";

    static DockFileDropRelay &shared();

    qint64 deliveryToken() const { return m_deliveryToken; }
    QList<QUrl> pendingURLs() const { return m_pendingURLs; }

    // Replaces the pending files with the file URLs among `urls`; ignores a list without any.
    void enqueue(const QList<QUrl> &urls);
    // Returns the pending files and empties the relay.
    Q_INVOKABLE QList<QUrl> consumePendingURLs();

    // What brings the application's window to the front; the shell installs it.
    void setActivationHook(std::function<void()> hook) { m_activate = std::move(hook); }
    // Brings the window to the front, when a hook is installed.
    void activateApplication();

signals:
    void didEnqueue(DockFileDropRelay *relay);
    void deliveryTokenChanged();
    void pendingURLsChanged();

private:
    using QObject::QObject;
    void setPendingURLs(const QList<QUrl> &urls);

    qint64 m_deliveryToken = 0;
    QList<QUrl> m_pendingURLs;
    std::function<void()> m_activate;
};

} // namespace pressel
