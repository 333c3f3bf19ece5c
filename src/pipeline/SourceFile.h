// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "Failure.h"

#include <QByteArray>
#include <QUrl>

#include <sys/stat.h>

namespace pressel {

// A source as one look at it saw it: opened once without blocking, checked to be a regular
// file, its first bytes read to tell its format, then, if it is to be compressed, all of it. The pixels, the metadata and a tool's input all come from this
// look, so a file swapped or turned into a FIFO meanwhile can neither hang a worker nor give
// one step another picture than the next. The descriptor is kept for tools that read their input.
class SourceFile
{
public:
    // The largest source read: more than the largest picture we decode takes in any encoding
    // a camera or phone writes.
    static constexpr qint64 maximumBytes = qint64(1) << 30;

    // Opens the file and reads its head.
    static Expected<SourceFile> open(const QUrl &url);
    // Reads the whole file, once; until then bytes() holds its head alone.
    Expected<void> readContents();

    SourceFile(SourceFile &&other) noexcept;
    SourceFile &operator=(SourceFile &&other) noexcept;
    SourceFile(const SourceFile &) = delete;
    SourceFile &operator=(const SourceFile &) = delete;
    ~SourceFile();

    const QUrl &url() const { return m_url; }
    const QByteArray &bytes() const { return m_bytes; }
    qint64 size() const { return qint64(m_status.st_size); }
    int descriptor() const { return m_descriptor; }
    const struct stat &status() const { return m_status; }

    // Whether the file is still the one that was read, unchanged: the same file at the same
    // name, with the same size and change time.
    bool isUnchanged() const;

private:
    SourceFile() = default;
    bool readBytes(qint64 length);

    QUrl m_url;
    QByteArray m_bytes;
    int m_descriptor = -1;
    struct stat m_status {};
};

} // namespace pressel
