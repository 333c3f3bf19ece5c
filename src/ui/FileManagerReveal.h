// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDBusConnection>
#include <QObject>
#include <QUrl>
#include <QtQml/qqmlregistration.h>

#include <functional>

namespace pressel {

// Shows a file selected in the desktop's file manager: asks for it over the freedesktop
// FileManager1 interface, opens the file's folder when no file manager answers there, and says
// so when neither works. D-Bus is only used where a session bus exists (see SessionBus).
class FileManagerReveal : public QObject
{
    Q_OBJECT
    QML_ELEMENT
    QML_SINGLETON

public:
    // Whether the folder could be handed to a program that opens it.
    using FolderOpener = std::function<bool(const QUrl &folder)>;

    // The desktop's default handler for folders.
    static FolderOpener desktopFolderOpener();

    // The session bus, when there is one, and the desktop's default handler for folders.
    explicit FileManagerReveal(QObject *parent = nullptr);
    FileManagerReveal(const QDBusConnection &connection, FolderOpener openFolder, QObject *parent = nullptr);

    // Returns at once; the file manager is asked asynchronously so that a slow D-Bus
    // activation never freezes the window.
    Q_INVOKABLE void reveal(const QUrl &file);
    // Several files at once, where the file manager takes them; else the first one's folder.
    void reveal(const QList<QUrl> &files);

signals:
    // After each reveal that worked: whether the file manager took the request or the folder
    // was opened.
    void finished(const QUrl &file, bool shownByFileManager);
    // After a reveal where neither the file manager nor the folder's handler could be reached.
    void failed(const QUrl &file);

private:
    void openContainingFolder(const QUrl &file);

    QDBusConnection m_connection;
    FolderOpener m_openFolder;
};

} // namespace pressel
