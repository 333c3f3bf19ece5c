// SPDX-License-Identifier: GPL-3.0-or-later
#include "OutputFiles.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTextBoundaryFinder>
#include <QMutex>
#include <QSet>

#include <cerrno>
#include <utility>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace pressel {

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

// A file name holds at most 255 bytes on Linux file systems. Outputs are made unnamed and take
// their name whole; a few bytes are kept in reserve all the same, so that names do not change
// with how an output is written.
constexpr qsizetype maximumOutputNameBytes = 255 - 7;

QString baseName(const QString &fileName)
{
    // Only the last extension goes; a leading dot ("".hidden") starts a name, not an extension.
    const qsizetype dot = fileName.lastIndexOf(u'.');
    return dot > 0 ? fileName.left(dot) : fileName;
}

// Names are compared as a USB stick or a Windows share compares them: "DSC.jpg" beside
// "DSC.JPG" is the same file there, and copying the folder would lose one of them.
static QString caseFolded(const QString &path)
{
    return QDir::cleanPath(path).toCaseFolded();
}

static bool itemExists(const QString &path, const QSet<QString> &takenNames)
{
    // A dangling symbolic link counts as taken: writing there would create a file elsewhere.
    const QFileInfo info(path);
    return info.exists() || info.isSymLink() || takenNames.contains(info.fileName().toCaseFolded()) ||
           OutputNameReservation::isReserved(path);
}

static bool fits(const QString &name)
{
    return QFile::encodeName(name).size() <= maximumOutputNameBytes;
}

// "<base><ending>", the base cut after its last whole character (grapheme) that leaves the
// name within the limit, so that a source whose own name nearly fills it still gets an output.
static QString fittedName(const QString &base, const QString &ending)
{
    if (fits(base + ending))
        return base + ending;
    const qsizetype room = maximumOutputNameBytes - QFile::encodeName(ending).size();
    QTextBoundaryFinder boundaries(QTextBoundaryFinder::Grapheme, base);
    qsizetype cut = 0;
    for (qsizetype next = boundaries.toNextBoundary(); next > 0; next = boundaries.toNextBoundary()) {
        if (QFile::encodeName(base.left(next)).size() > room)
            break;
        cut = next;
    }
    return base.left(cut) + ending;
}

QUrl makeUniqueOutputURL(const QUrl &sourceURL, const QString &extension, const QUrl &folderURL, bool numbered)
{
    const QString base = baseName(QFileInfo(sourceURL.toLocalFile()).fileName());
    const QDir folder(folderURL.toLocalFile());
    const QString bareName = base + u'.' + extension;
    // A shortened base without its "-N" would pass for a photo of its own.
    QSet<QString> takenNames;
    const QFileInfo source(sourceURL.toLocalFile());
    if (source.absolutePath() == folder.absolutePath())
        takenNames.insert(source.fileName().toCaseFolded());
    for (const QString &entry : folder.entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot))
        takenNames.insert(entry.toCaseFolded());
    QString candidate = fits(bareName) && !numbered ? folder.filePath(bareName) : QString();
    for (qint64 counter = 1; candidate.isEmpty() || itemExists(candidate, takenNames); ++counter)
        candidate = folder.filePath(fittedName(base, u'-' + QString::number(counter) + u'.' + extension));
    return QUrl::fromLocalFile(candidate);
}

int openOutputFolder(const QString &root, const QString &relative)
{
    int folder = ::open(QFile::encodeName(root).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    for (const QString &name : relative.split(u'/', Qt::SkipEmptyParts)) {
        if (folder < 0)
            break;
        const QByteArray encoded = QFile::encodeName(name);
        int next = -1;
        if (name == u"." || name == u"..")
            errno = EINVAL;
        else if (::mkdirat(folder, encoded.constData(), 0777) == 0 || errno == EEXIST)
            next = ::openat(folder, encoded.constData(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
        const int error = errno;
        ::close(folder);
        folder = next;
        errno = error;
    }
    return folder;
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

std::optional<OutputNameReservation> OutputNameReservation::reserve(const QUrl &outputURL)
{
    QString path = caseFolded(outputURL.toLocalFile());
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
    return names.paths.contains(caseFolded(path));
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

} // namespace pressel
