// SPDX-License-Identifier: GPL-3.0-or-later
#include "FileManagerReveal.h"

#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDesktopServices>
#include <QFileInfo>

#include "Logging.h"
#include "SessionBus.h"

namespace pressel {

namespace {

const QString fileManagerService = QStringLiteral("org.freedesktop.FileManager1");
const QString fileManagerPath = QStringLiteral("/org/freedesktop/FileManager1");
const QString fileManagerInterface = QStringLiteral("org.freedesktop.FileManager1");

} // namespace

FileManagerReveal::FolderOpener FileManagerReveal::desktopFolderOpener()
{
    return [](const QUrl &folder) { return QDesktopServices::openUrl(folder); };
}

FileManagerReveal::FileManagerReveal(QObject *parent)
    : FileManagerReveal(SessionBus::connection(), desktopFolderOpener(), parent)
{}

FileManagerReveal::FileManagerReveal(const QDBusConnection &connection, FolderOpener openFolder, QObject *parent)
    : QObject(parent)
    , m_connection(connection)
    , m_openFolder(std::move(openFolder))
{}

void FileManagerReveal::reveal(const QUrl &file)
{
    reveal(QList<QUrl>{file});
}

void FileManagerReveal::reveal(const QList<QUrl> &files)
{
    if (files.isEmpty() || !files.constFirst().isLocalFile())
        return;
    const QUrl file = files.constFirst();
    if (!m_connection.isConnected()) {
        openContainingFolder(file);
        return;
    }

    QDBusMessage call = QDBusMessage::createMethodCall(fileManagerService, fileManagerPath, fileManagerInterface,
                                                       QStringLiteral("ShowItems"));
    QStringList uris;
    for (const QUrl &each : files)
        uris.append(QString::fromUtf8(each.toEncoded()));
    call << uris << QString();
    auto *watcher = new QDBusPendingCallWatcher(m_connection.asyncCall(call), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [this, file](QDBusPendingCallWatcher *finishedCall) {
        finishedCall->deleteLater();
        const QDBusPendingReply<> reply = *finishedCall;
        if (reply.isError()) {
            openContainingFolder(file);
            return;
        }
        emit finished(file, true);
    });
}

void FileManagerReveal::openContainingFolder(const QUrl &file)
{
    if (m_openFolder(QUrl::fromLocalFile(QFileInfo(file.toLocalFile()).absolutePath()))) {
        emit finished(file, false);
        return;
    }
    qCWarning(lcFileManager).noquote() << QStringLiteral("No file manager could show %1").arg(file.toLocalFile());
    emit failed(file);
}

} // namespace pressel
