#include "OutputFiles.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMutex>
#include <QSet>

#include <utility>

namespace {

struct ReservedNames {
    QMutex mutex;
    QSet<QString> paths;
};

ReservedNames &reservedNames()
{
    static ReservedNames names;
    return names;
}

} // namespace

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
    return info.exists() || info.isSymLink() || OutputNameReservation::isReserved(path);
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

std::optional<OutputNameReservation> OutputNameReservation::reserve(const QUrl &outputURL)
{
    QString path = QDir::cleanPath(outputURL.toLocalFile());
    ReservedNames &names = reservedNames();
    const QMutexLocker lock(&names.mutex);
    if (path.isEmpty() || names.paths.contains(path))
        return std::nullopt;
    names.paths.insert(path);
    return OutputNameReservation(std::move(path));
}

bool OutputNameReservation::isReserved(const QString &path)
{
    ReservedNames &names = reservedNames();
    const QMutexLocker lock(&names.mutex);
    return names.paths.contains(QDir::cleanPath(path));
}

OutputNameReservation::~OutputNameReservation()
{
    if (m_path.isEmpty())
        return;
    ReservedNames &names = reservedNames();
    const QMutexLocker lock(&names.mutex);
    names.paths.remove(m_path);
}

OutputNameReservation::OutputNameReservation(OutputNameReservation &&other) noexcept
    : m_path(std::exchange(other.m_path, QString()))
{}

OutputNameReservation &OutputNameReservation::operator=(OutputNameReservation &&other) noexcept
{
    if (this != &other) {
        OutputNameReservation released(std::move(*this));
        m_path = std::exchange(other.m_path, QString());
    }
    return *this;
}
