// SPDX-License-Identifier: GPL-3.0-or-later
#include "SourceFile.h"

#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <cerrno>
#include <utility>

#include <fcntl.h>
#include <unistd.h>

namespace pressel {

namespace {

bool sameFile(const struct stat &a, const struct stat &b)
{
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino && a.st_size == b.st_size &&
           a.st_ctim.tv_sec == b.st_ctim.tv_sec && a.st_ctim.tv_nsec == b.st_ctim.tv_nsec &&
           a.st_mtim.tv_sec == b.st_mtim.tv_sec && a.st_mtim.tv_nsec == b.st_mtim.tv_nsec;
}

} // namespace

Expected<SourceFile> SourceFile::open(const QUrl &url)
{
    // A file name whose bytes are not UTF-8 reaches us with U+FFFD in their place, and the path
    // so made names another file, or none. Reading that one would compress the wrong picture.
    const QString path = url.toLocalFile();
    if (path.isEmpty() || path.contains(QChar::ReplacementCharacter))
        return failure(Failure(Failure::readFailed));
    SourceFile source;
    source.m_url = url;
    source.m_descriptor = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (source.m_descriptor < 0)
        return failure(errno == ENOENT ? Failure(Failure::fileMissing, {QFileInfo(path).fileName()})
                                       : Failure(Failure::readFailed));
    if (::fstat(source.m_descriptor, &source.m_status) != 0)
        return failure(Failure(Failure::readFailed));
    if (S_ISDIR(source.m_status.st_mode))
        return failure(Failure(Failure::isFolder));
    if (S_ISREG(source.m_status.st_mode) && source.m_status.st_size == 0)
        return failure(Failure(Failure::emptyFile));
    if (!S_ISREG(source.m_status.st_mode) || source.m_status.st_size < 0 || source.m_status.st_size > maximumBytes)
        return failure(Failure(Failure::readFailed));
    // Enough for any container's signature and a JPEG's or PNG's size.
    constexpr qint64 headLength = 64 * 1024;
    if (!source.readBytes(std::min<qint64>(headLength, source.m_status.st_size)))
        return failure(Failure(Failure::readFailed));
    return source;
}

bool SourceFile::readBytes(qint64 length)
{
    m_bytes.resize(qsizetype(length));
    qsizetype done = 0;
    while (done < m_bytes.size()) {
        const ssize_t got = ::pread(m_descriptor, m_bytes.data() + done, size_t(m_bytes.size() - done), off_t(done));
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0) // shortened while being read
            return false;
        done += got;
    }
    return true;
}

Expected<void> SourceFile::readContents()
{
    if (m_bytes.size() == m_status.st_size || readBytes(m_status.st_size))
        return {};
    return failure(Failure(Failure::readFailed));
}

bool SourceFile::isUnchanged() const
{
    struct stat now {};
    struct stat named {};
    return ::fstat(m_descriptor, &now) == 0 && sameFile(now, m_status) &&
           ::stat(QFile::encodeName(m_url.toLocalFile()).constData(), &named) == 0 && sameFile(named, m_status);
}

SourceFile::SourceFile(SourceFile &&other) noexcept
    : m_url(std::move(other.m_url))
    , m_bytes(std::move(other.m_bytes))
    , m_descriptor(std::exchange(other.m_descriptor, -1))
    , m_status(other.m_status)
{}

SourceFile &SourceFile::operator=(SourceFile &&other) noexcept
{
    if (this != &other) {
        if (m_descriptor >= 0)
            ::close(m_descriptor);
        m_url = std::move(other.m_url);
        m_bytes = std::move(other.m_bytes);
        m_descriptor = std::exchange(other.m_descriptor, -1);
        m_status = other.m_status;
    }
    return *this;
}

SourceFile::~SourceFile()
{
    if (m_descriptor >= 0)
        ::close(m_descriptor);
}

} // namespace pressel
