// SPDX-License-Identifier: GPL-3.0-or-later
#include "ImageFolderWalk.h"

#include <QDir>
#include <QFileInfo>

namespace pressel {

namespace {

const QStringList imageExtensions{
    QStringLiteral("jpg"),  QStringLiteral("jpeg"), QStringLiteral("png"),
    QStringLiteral("heic"), QStringLiteral("heif"), QStringLiteral("tif"),
    QStringLiteral("tiff"), QStringLiteral("gif"),  QStringLiteral("webp"), QStringLiteral("avif"),
};

bool isImageName(const QFileInfo &info)
{
    return imageExtensions.contains(info.suffix(), Qt::CaseInsensitive);
}

// Depth first with each folder's entries sorted by name, files and folders together: the order
// of the paths compared component by component.
void collect(const QString &folderPath, qsizetype limit, const std::function<bool()> &isCancelled,
             ImageFolderWalk &walk)
{
    if (isCancelled && isCancelled())
        return;
    // Without QDir::Hidden, dot names are not listed; without QDir::System, neither are sockets
    // or device nodes.
    const QFileInfoList entries = QDir(folderPath).entryInfoList(QDir::AllEntries | QDir::NoDotAndDotDot, QDir::Name);
    for (const QFileInfo &entry : entries) {
        if (walk.truncated)
            return;
        // Links are passed by, to files as to folders: whoever can write to a shared folder
        // could point one anywhere, and its output would land beside the link, open to all.
        if (entry.isSymLink())
            continue;
        if (entry.isDir()) {
            collect(entry.filePath(), limit, isCancelled, walk);
        } else if (entry.isFile() && isImageName(entry)) {
            if (walk.files.size() == limit) {
                walk.truncated = true;
                return;
            }
            walk.files.append(QUrl::fromLocalFile(entry.filePath()));
        }
    }
}

} // namespace

ImageFolderWalk ImageFolderWalk::walk(const QString &folderPath, qsizetype limit,
                                      const std::function<bool()> &isCancelled)
{
    ImageFolderWalk walk;
    collect(folderPath, limit, isCancelled, walk);
    return walk;
}

} // namespace pressel
