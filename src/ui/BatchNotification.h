// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "CompressionResult.h"

#include <QDBusConnection>
#include <QHash>
#include <QList>
#include <QObject>
#include <QUrl>

#include <chrono>

namespace pressel {

class FileManagerReveal;

// Tells the desktop that a batch has ended when the person may not have seen it end: the window
// was not active, or the batch took long enough to have been left alone. The desktop's
// notification server (org.freedesktop.Notifications) shows it with an action that shows the
// outputs in the file manager. Silent where no server answers; a session bus is never launched
// for it (see SessionBus). The saved setting can turn it off.
class BatchNotification : public QObject
{
    Q_OBJECT

public:
    static constexpr std::chrono::seconds longBatch{10};

    // The session bus, when there is one.
    explicit BatchNotification(QObject *parent = nullptr);
    BatchNotification(const QDBusConnection &connection, QObject *parent = nullptr);

    void batchFinished(const QList<CompressionResult> &results, std::chrono::milliseconds duration,
                       bool windowIsActive);

signals:
    // A server took the notification.
    void shown(uint id);

private slots:
    void actionInvoked(uint id, const QString &action);
    void notificationClosed(uint id);

private:
    QDBusConnection m_connection;
    FileManagerReveal *m_reveal;
    // The outputs of each notification still shown.
    QHash<uint, QList<QUrl>> m_outputs;
};

} // namespace pressel
