// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QString>

#include <sys/stat.h>

namespace pressel {

// A file that only this process can reach until it is published under a name: an unnamed file
// in its folder (O_TMPFILE), or, where the file system has none, a file in a private 0700
// folder ".pressel-XXXXXX" beside it. Publishing never replaces anything, and nothing else of
// the folder is touched: what is not published vanishes with the object, or, if the process
// is killed, with the unnamed file; a private folder that a killed run left behind is removed
// by the next run that needs one in that folder.
class PrivateFile
{
public:
    enum class Kind { unnamed, inPrivateFolder };
    enum class Publication { published, nameTaken, failed };

    // Absent when the folder does not take new files; errno tells why.
    static std::optional<PrivateFile> create(const QString &folderPath, Kind kind = Kind::unnamed);
    // The same in the folder open at `folderDescriptor`, which stays the caller's.
    static std::optional<PrivateFile> create(int folderDescriptor, Kind kind = Kind::unnamed);

    PrivateFile(PrivateFile &&other) noexcept;
    PrivateFile &operator=(PrivateFile &&other) noexcept;
    PrivateFile(const PrivateFile &) = delete;
    PrivateFile &operator=(const PrivateFile &) = delete;
    ~PrivateFile();

    Kind kind() const { return m_privateFolder.isEmpty() ? Kind::unnamed : Kind::inPrivateFolder; }
    int descriptor() const { return m_descriptor; }
    // The folder the file is for.
    int folderDescriptor() const { return m_folder; }
    // The private folder's name in its folder; empty for an unnamed file.
    const QString &privateFolderName() const { return m_privateFolder; }

    qint64 size() const;
    QByteArray readAll() const;
    bool endsWith(const QByteArray &ending) const;
    // Empties the file and sets its offset to the start, for a writer that begins anew.
    bool truncate();
    // Replaces the contents with `bytes`; false when they could not all be written.
    bool rewrite(const QByteArray &bytes);
    // The permission bits of `source`, never wider: the group's bits only where the file can
    // take the source's group, since another group's members could read it otherwise.
    bool takePermissionsOf(const struct stat &source);
    bool setModificationTime(const struct timespec &modified);

    // Gives the file the name `fileName` in its folder, unless something is there already.
    // A published file is no longer this object's.
    Publication publish(const QString &fileName);
    // The same in another folder of the same file system, open at `folder`.
    Publication publishIn(int folder, const QString &fileName);

private:
    PrivateFile() = default;
    void discard();

    int m_folder = -1;     // the folder the file is for
    int m_descriptor = -1; // the file
    int m_private = -1;    // the private folder, locked while this object lives
    QString m_privateFolder;
};

} // namespace pressel
