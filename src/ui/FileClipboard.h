// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QList>
#include <QObject>
#include <QUrl>
#include <QtQml/qqmlregistration.h>

class QMimeData;

namespace pressel {

// Files on the clipboard, as file managers exchange them: a URI list, or GNOME's own format
// ("copy" or "cut", then one URI a line). Reading, anything else holds no files; copying writes
// both, so that any file manager pastes them.
class FileClipboard : public QObject
{
    Q_OBJECT
    QML_ELEMENT
    QML_SINGLETON

public:
    using QObject::QObject;

    // The local files on the system clipboard, in their order; empty when there are none.
    Q_INVOKABLE QList<QUrl> fileURLs() const;
    static QList<QUrl> fileURLs(const QMimeData *data);

    // Puts the files on the system clipboard, as a file manager's "Copy" does.
    Q_INVOKABLE void copy(const QList<QUrl> &files) const;
    // The files as a text/uri-list, for a drag to another application.
    Q_INVOKABLE QString uriList(const QList<QUrl> &files) const;
};

} // namespace pressel
