// SPDX-License-Identifier: GPL-3.0-or-later
#include "BatchNotification.h"

#include "BatchTotals.h"
#include "CompressionSettingsModel.h"
#include "DisplayFormat.h"
#include "FileManagerReveal.h"
#include "Logging.h"
#include "SessionBus.h"

#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>

namespace pressel {

namespace {

const QString service = QStringLiteral("org.freedesktop.Notifications");
const QString path = QStringLiteral("/org/freedesktop/Notifications");
const QString interface = QStringLiteral("org.freedesktop.Notifications");
const QString showFilesAction = QStringLiteral("show-files");

} // namespace

BatchNotification::BatchNotification(QObject *parent)
    : BatchNotification(SessionBus::connection(), parent)
{}

BatchNotification::BatchNotification(const QDBusConnection &connection, QObject *parent)
    : QObject(parent)
    , m_connection(connection)
    , m_reveal(new FileManagerReveal(connection, FileManagerReveal::desktopFolderOpener(), this))
{
    if (!m_connection.isConnected())
        return;
    m_connection.connect(service, path, interface, QStringLiteral("ActionInvoked"), this,
                         SLOT(actionInvoked(uint, QString)));
    m_connection.connect(service, path, interface, QStringLiteral("NotificationClosed"), this,
                         SLOT(notificationClosed(uint)));
}

void BatchNotification::batchFinished(const QList<CompressionResult> &results, std::chrono::milliseconds duration,
                                      bool windowIsActive)
{
    if ((windowIsActive && duration <= longBatch) || results.isEmpty() || !m_connection.isConnected() ||
        !CompressionSettingsModel::notifiesWhenFinished())
        return;
    QList<QUrl> outputs;
    for (const CompressionResult &result : results) {
        if (result.outputURL)
            outputs.append(*result.outputURL);
    }
    const BatchTotals totals = BatchTotals::of(results);
    QString text = tr("已完成 %1 个文件", nullptr, int(totals.fileCount)).arg(QLocale().toString(totals.fileCount));
    if (totals.savedBytes > 0)
        text += u' ' + tr("· 节省 %1").arg(DisplayFormat::byteCount(totals.savedBytes, QLocale()));
    QStringList actions;
    if (!outputs.isEmpty())
        actions << showFilesAction << tr("显示文件");

    QDBusMessage notify = QDBusMessage::createMethodCall(service, path, interface, QStringLiteral("Notify"));
    notify << QStringLiteral("Pressel") << 0u << QStringLiteral("pressel") << text << QString() << actions
           << QVariantMap{{QStringLiteral("desktop-entry"), QString::fromLatin1(appId)}} << -1;
    auto *watcher = new QDBusPendingCallWatcher(m_connection.asyncCall(notify), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [this, outputs](QDBusPendingCallWatcher *call) {
        call->deleteLater();
        const QDBusPendingReply<uint> reply = *call;
        // No server: the window's rows say the same.
        if (reply.isError())
            return;
        m_outputs.insert(reply.value(), outputs);
        emit shown(reply.value());
    });
}

void BatchNotification::actionInvoked(uint id, const QString &action)
{
    if (action == showFilesAction && m_outputs.contains(id))
        m_reveal->reveal(m_outputs.value(id));
}

void BatchNotification::notificationClosed(uint id)
{
    m_outputs.remove(id);
}

} // namespace pressel
