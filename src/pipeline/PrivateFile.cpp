// SPDX-License-Identifier: GPL-3.0-or-later
#include "PrivateFile.h"

#include <QFile>
#include <QMutex>
#include <QRandomGenerator>
#include <QSet>

#include <cerrno>
#include <utility>

#include <dirent.h>
#include <fcntl.h>
#include <stdio.h>
#include <sys/file.h>
#include <unistd.h>

namespace pressel {

namespace {

constexpr char privatePrefix[] = ".pressel-";
constexpr char privateFileName[] = "output";

bool isOurPrivateFolder(int folder)
{
    struct stat status {};
    return ::fstat(folder, &status) == 0 && S_ISDIR(status.st_mode) && status.st_uid == ::geteuid() &&
           (status.st_mode & 077) == 0;
}

// Private folders that a killed run left in `folder`: ours, and locked by no living run. Only
// the one file a run puts there is removed, then the folder if that leaves it empty.
void removeAbandonedPrivateFolders(int folder)
{
    const int listing = ::openat(folder, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (listing < 0)
        return;
    DIR *entries = ::fdopendir(listing);
    if (!entries) {
        ::close(listing);
        return;
    }
    while (const dirent *entry = ::readdir(entries)) {
        if (qstrncmp(entry->d_name, privatePrefix, sizeof privatePrefix - 1) != 0)
            continue;
        const int candidate = ::openat(folder, entry->d_name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
        if (candidate < 0)
            continue;
        if (isOurPrivateFolder(candidate) && ::flock(candidate, LOCK_EX | LOCK_NB) == 0) {
            ::unlinkat(candidate, privateFileName, 0);
            ::unlinkat(folder, entry->d_name, AT_REMOVEDIR);
        }
        ::close(candidate);
    }
    ::closedir(entries);
}

// Each folder is swept once per process: a run leaves nothing behind unless it is killed.
bool firstVisit(int folder)
{
    static QMutex mutex;
    static QSet<QPair<dev_t, ino_t>> visited;
    struct stat status {};
    if (::fstat(folder, &status) != 0)
        return false;
    const QMutexLocker lock(&mutex);
    if (visited.contains({status.st_dev, status.st_ino}))
        return false;
    visited.insert({status.st_dev, status.st_ino});
    return true;
}

bool writeAll(int descriptor, const char *data, qint64 size, off_t offset)
{
    while (size > 0) {
        const ssize_t written = ::pwrite(descriptor, data, size_t(size), offset);
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0)
            return false;
        data += written;
        size -= written;
        offset += written;
    }
    return true;
}

} // namespace

std::optional<PrivateFile> PrivateFile::create(const QString &folderPath, Kind kind)
{
    const int folder = ::open(QFile::encodeName(folderPath).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (folder < 0)
        return std::nullopt;
    auto file = create(folder, kind);
    const int error = errno;
    ::close(folder);
    errno = error;
    return file;
}

std::optional<PrivateFile> PrivateFile::create(int folderDescriptor, Kind kind)
{
    PrivateFile file;
    file.m_folder = ::fcntl(folderDescriptor, F_DUPFD_CLOEXEC, 0);
    if (file.m_folder < 0)
        return std::nullopt;
    if (kind == Kind::unnamed) {
        file.m_descriptor = ::openat(file.m_folder, ".", O_TMPFILE | O_RDWR | O_CLOEXEC, 0600);
        if (file.m_descriptor >= 0)
            return file;
        // File systems without unnamed files (FAT, network shares) say so with one of these.
        if (errno != EOPNOTSUPP && errno != EISDIR && errno != EINVAL)
            return std::nullopt;
    }
    if (firstVisit(file.m_folder))
        removeAbandonedPrivateFolders(file.m_folder);
    for (int attempt = 0; attempt < 100 && file.m_private < 0; ++attempt) {
        const QString name = QString::fromLatin1(privatePrefix) +
                             QString::number(QRandomGenerator::system()->generate64(), 36).right(8);
        const QByteArray encoded = QFile::encodeName(name);
        if (::mkdirat(file.m_folder, encoded.constData(), 0700) != 0) {
            if (errno == EEXIST)
                continue;
            return std::nullopt;
        }
        const int made = ::openat(file.m_folder, encoded.constData(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
        // Swapped for a link or another user's folder meanwhile: not ours to write in, nor to remove.
        if (made < 0 || !isOurPrivateFolder(made)) {
            if (made >= 0)
                ::close(made);
            errno = EACCES;
            return std::nullopt;
        }
        file.m_private = made;
        file.m_privateFolder = name;
        if (::fchmod(file.m_private, 0700) != 0 || ::flock(file.m_private, LOCK_EX) != 0)
            return std::nullopt;
    }
    if (file.m_private < 0)
        return std::nullopt;
    file.m_descriptor = ::openat(file.m_private, privateFileName,
                                 O_CREAT | O_EXCL | O_NOFOLLOW | O_RDWR | O_CLOEXEC, 0600);
    if (file.m_descriptor < 0)
        return std::nullopt;
    return file;
}

PrivateFile::PrivateFile(PrivateFile &&other) noexcept
    : m_folder(std::exchange(other.m_folder, -1))
    , m_descriptor(std::exchange(other.m_descriptor, -1))
    , m_private(std::exchange(other.m_private, -1))
    , m_privateFolder(std::exchange(other.m_privateFolder, QString()))
{}

PrivateFile &PrivateFile::operator=(PrivateFile &&other) noexcept
{
    if (this != &other) {
        discard();
        m_folder = std::exchange(other.m_folder, -1);
        m_descriptor = std::exchange(other.m_descriptor, -1);
        m_private = std::exchange(other.m_private, -1);
        m_privateFolder = std::exchange(other.m_privateFolder, QString());
    }
    return *this;
}

PrivateFile::~PrivateFile()
{
    discard();
}

void PrivateFile::discard()
{
    if (m_private >= 0) {
        ::unlinkat(m_private, privateFileName, 0);
        ::unlinkat(m_folder, QFile::encodeName(m_privateFolder).constData(), AT_REMOVEDIR);
        ::close(std::exchange(m_private, -1));
    }
    m_privateFolder.clear();
    if (m_descriptor >= 0)
        ::close(std::exchange(m_descriptor, -1));
    if (m_folder >= 0)
        ::close(std::exchange(m_folder, -1));
}

qint64 PrivateFile::size() const
{
    struct stat status {};
    return ::fstat(m_descriptor, &status) == 0 ? qint64(status.st_size) : -1;
}

QByteArray PrivateFile::readAll() const
{
    const qint64 length = size();
    if (length <= 0)
        return {};
    QByteArray bytes(qsizetype(length), Qt::Uninitialized);
    qsizetype done = 0;
    while (done < bytes.size()) {
        const ssize_t got = ::pread(m_descriptor, bytes.data() + done, size_t(bytes.size() - done), off_t(done));
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0)
            return {};
        done += got;
    }
    return bytes;
}

bool PrivateFile::endsWith(const QByteArray &ending) const
{
    const qint64 length = size();
    if (length < ending.size())
        return false;
    QByteArray tail(ending.size(), Qt::Uninitialized);
    return ::pread(m_descriptor, tail.data(), size_t(tail.size()), off_t(length - ending.size())) == tail.size() &&
           tail == ending;
}

bool PrivateFile::truncate()
{
    return ::ftruncate(m_descriptor, 0) == 0 && ::lseek(m_descriptor, 0, SEEK_SET) == 0;
}

bool PrivateFile::rewrite(const QByteArray &bytes)
{
    return truncate() && writeAll(m_descriptor, bytes.constData(), bytes.size(), 0) && ::fdatasync(m_descriptor) == 0;
}

bool PrivateFile::takePermissionsOf(const struct stat &source)
{
    mode_t mode = source.st_mode & 0666;
    if (::fchown(m_descriptor, uid_t(-1), source.st_gid) != 0)
        mode &= ~mode_t(0070);
    return ::fchmod(m_descriptor, mode) == 0;
}

bool PrivateFile::setModificationTime(const struct timespec &modified)
{
    const struct timespec times[2] = {{0, UTIME_OMIT}, modified};
    return ::futimens(m_descriptor, times) == 0;
}

PrivateFile::Publication PrivateFile::publish(const QString &fileName)
{
    return publishIn(m_folder, fileName);
}

PrivateFile::Publication PrivateFile::publishIn(int folder, const QString &fileName)
{
    const QByteArray name = QFile::encodeName(fileName);
    int result = -1;
    if (m_private < 0) {
        // Linking an unnamed file needs its path in /proc; linkat never replaces what is there.
        const QByteArray self = "/proc/self/fd/" + QByteArray::number(m_descriptor);
        result = ::linkat(AT_FDCWD, self.constData(), folder, name.constData(), AT_SYMLINK_FOLLOW);
    } else {
        result = ::renameat2(m_private, privateFileName, folder, name.constData(), RENAME_NOREPLACE);
        if (result != 0 && (errno == EINVAL || errno == ENOSYS)) {
            result = ::linkat(m_private, privateFileName, folder, name.constData(), 0);
            if (result == 0)
                ::unlinkat(m_private, privateFileName, 0);
        }
    }
    if (result != 0)
        return errno == EEXIST ? Publication::nameTaken : Publication::failed;
    if (m_private >= 0) {
        ::close(std::exchange(m_private, -1));
        ::unlinkat(m_folder, QFile::encodeName(m_privateFolder).constData(), AT_REMOVEDIR);
        m_privateFolder.clear();
    }
    ::close(std::exchange(m_descriptor, -1));
    return Publication::published;
}

} // namespace pressel
