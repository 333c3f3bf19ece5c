// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QList>
#include <QObject>
#include <QUrl>
#include <QtQml/qqmlregistration.h>

class QMimeData;

namespace pressel {

// The files a file manager put on the clipboard with "Copy": a URI list, or GNOME's own
// format ("copy" or "cut", then one URI a line). Anything else holds no files.
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
};

} // namespace pressel
