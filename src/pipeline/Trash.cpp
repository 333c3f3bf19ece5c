// SPDX-License-Identifier: GPL-3.0-or-later
#include "Trash.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <QStorageInfo>

#include <cerrno>
#include <cstring>
#include <utility>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace pressel {

namespace {

Failure trashFailure(int error)
{
    return Failure(Failure::trashFailed, {QString::fromLocal8Bit(std::strerror(error))});
}

// The folder `name` in `parent`, made 0700 where missing; a link or anything but a folder there
// is refused. -1 with errno when it cannot be had.
int openOwnFolder(int parent, const char *name)
{
    if (::mkdirat(parent, name, 0700) != 0 && errno != EEXIST)
        return -1;
    return ::openat(parent, name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
}

dev_t deviceOf(int descriptor)
{
    struct stat status {};
    return ::fstat(descriptor, &status) == 0 ? status.st_dev : dev_t(-1);
}

// The nearest folder of `path` or above it that exists, for telling which device it is on.
dev_t deviceOfPath(QString path)
{
    struct stat status {};
    while (::stat(QFile::encodeName(path).constData(), &status) != 0) {
        const QString parent = QFileInfo(path).path();
        if (parent == path)
            return dev_t(-1);
        path = parent;
    }
    return status.st_dev;
}

// The trash folder at the top of a mount, open at `top`, as freedesktop.org's Trash rules give it to this user.
int openTopTrash(int top, QString &name)
{
    const QByteArray uid = QByteArray::number(::geteuid());
    // An administrator's shared ".Trash" counts only when it is sticky and no link: otherwise
    // anyone could take or swap another user's folder in it.
    const int shared = ::openat(top, ".Trash", O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (shared >= 0) {
        struct stat status {};
        int own = -1;
        if (::fstat(shared, &status) == 0 && (status.st_mode & S_ISVTX) != 0)
            own = openOwnFolder(shared, uid.constData());
        ::close(shared);
        if (own >= 0) {
            name = QStringLiteral(".Trash/") + QString::fromLatin1(uid);
            return own;
        }
    }
    name = QStringLiteral(".Trash-") + QString::fromLatin1(uid);
    return openOwnFolder(top, QFile::encodeName(name).constData());
}

} // namespace

Expected<Trash> Trash::forFolder(int folder, const QString &folderPath)
{
    const dev_t device = deviceOf(folder);
    const QString dataHome = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
    Trash trash;
    int trashFolder = -1;
    if (!dataHome.isEmpty() && deviceOfPath(dataHome) == device) {
        trash.m_path = QDir(dataHome).filePath(QStringLiteral("Trash"));
        if (!QDir().mkpath(dataHome))
            return failure(trashFailure(errno));
        trashFolder = ::open(QFile::encodeName(dataHome).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (trashFolder >= 0) {
            const int home = std::exchange(trashFolder, openOwnFolder(trashFolder, "Trash"));
            ::close(home);
        }
    } else {
        const QString top = QStorageInfo(folderPath).rootPath();
        const int topFolder =
            top.isEmpty() ? -1 : ::open(QFile::encodeName(top).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (topFolder >= 0) {
            QString name;
            trashFolder = openTopTrash(topFolder, name);
            ::close(topFolder);
            trash.m_path = QDir(top).filePath(name);
            trash.m_topFolder = top;
        }
    }
    if (trashFolder < 0)
        return failure(trashFailure(errno));
    struct stat status {};
    // Only a folder of this user on the source's own device: the source is moved, never copied.
    if (::fstat(trashFolder, &status) != 0 || status.st_uid != ::geteuid() || status.st_dev != device) {
        const int error = status.st_dev != device ? EXDEV : EACCES;
        ::close(trashFolder);
        return failure(trashFailure(error));
    }
    trash.m_files = openOwnFolder(trashFolder, "files");
    trash.m_info = trash.m_files < 0 ? -1 : openOwnFolder(trashFolder, "info");
    const int error = errno;
    ::close(trashFolder);
    if (trash.m_info < 0)
        return failure(trashFailure(error));
    return trash;
}

Trash::Trash(Trash &&other) noexcept
    : m_files(std::exchange(other.m_files, -1))
    , m_info(std::exchange(other.m_info, -1))
    , m_path(std::move(other.m_path))
    , m_topFolder(std::move(other.m_topFolder))
{}

Trash::~Trash()
{
    if (m_files >= 0)
        ::close(m_files);
    if (m_info >= 0)
        ::close(m_info);
}

Expected<QString> Trash::addInfo(const QString &originalPath)
{
    // Relative to the mount's top in its own trash, so that the entry still restores when the
    // disk is mounted elsewhere.
    const QString path = m_topFolder.isEmpty() ? originalPath : QDir(m_topFolder).relativeFilePath(originalPath);
    const QByteArray contents = "[Trash Info]\nPath=" + QFile::encodeName(path).toPercentEncoding("/") +
                                "\nDeletionDate=" +
                                QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-ddTHH:mm:ss")).toLatin1() +
                                '\n';
    const QFileInfo original(originalPath);
    const QString suffix = original.suffix().isEmpty() ? QString() : u'.' + original.suffix();
    const QString base = original.fileName().chopped(suffix.size());
    for (int number = 1; number < 10000; ++number) {
        const QString name = number == 1 ? original.fileName() : base + u'.' + QString::number(number) + suffix;
        const QByteArray infoName = QFile::encodeName(name + QStringLiteral(".trashinfo"));
        const int info = ::openat(m_info, infoName.constData(), O_CREAT | O_EXCL | O_WRONLY | O_NOFOLLOW | O_CLOEXEC, 0600);
        if (info < 0) {
            if (errno == EEXIST)
                continue;
            return failure(trashFailure(errno));
        }
        struct stat status {};
        const bool nameFree = ::fstatat(m_files, QFile::encodeName(name).constData(), &status, AT_SYMLINK_NOFOLLOW) != 0 &&
                              errno == ENOENT;
        const bool written = nameFree && ::write(info, contents.constData(), size_t(contents.size())) == contents.size() &&
                             ::fsync(info) == 0;
        const int error = errno;
        ::close(info);
        if (written)
            return name;
        ::unlinkat(m_info, infoName.constData(), 0);
        if (!nameFree)
            continue;
        return failure(trashFailure(error));
    }
    return failure(trashFailure(EEXIST));
}

void Trash::removeInfo(const QString &entryName)
{
    ::unlinkat(m_info, QFile::encodeName(entryName + QStringLiteral(".trashinfo")).constData(), 0);
}

} // namespace pressel
