#include "OutputFiles.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

static QString baseName(const QString &fileName)
{
    // Only the last extension goes; a leading dot ("".hidden") starts a name, not an extension.
    const qsizetype dot = fileName.lastIndexOf(u'.');
    return dot > 0 ? fileName.left(dot) : fileName;
}

static bool itemExists(const QString &path)
{
    // A dangling symbolic link counts as taken: writing there would create a file elsewhere.
    const QFileInfo info(path);
    return info.exists() || info.isSymLink();
}

QUrl makeUniqueOutputURL(const QUrl &sourceURL, const QString &extension, const QUrl &folderURL)
{
    const QString base = baseName(QFileInfo(sourceURL.toLocalFile()).fileName());
    const QDir folder(folderURL.toLocalFile());
    QString candidate = folder.filePath(base + u'.' + extension);
    for (qint64 counter = 1; itemExists(candidate); ++counter)
        candidate = folder.filePath(base + u'-' + QString::number(counter) + u'.' + extension);
    return QUrl::fromLocalFile(candidate);
}

std::optional<qint64> readFileSize(const QUrl &url)
{
    const QFileInfo info(url.toLocalFile());
    if (!info.exists())
        return std::nullopt;
    if (!info.isFile())
        return 0;
    return info.size();
}

void removeItemIgnoringErrors(const QUrl &url)
{
    const QString path = url.toLocalFile();
    if (!path.isEmpty())
        QFile::remove(path);
}
