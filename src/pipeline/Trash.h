// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "Failure.h"

#include <QString>

namespace pressel {

// The freedesktop Trash that takes the files of one folder: the home trash ($XDG_DATA_HOME/Trash)
// when the folder is on its device, otherwise the trash at the top of the folder's mount,
// "$topdir/.Trash/$uid" where ".Trash" is a sticky folder and no link, else "$topdir/.Trash-$uid".
// A file goes in as an entry of one name: first its info file, info/<name>.trashinfo, holding
// its original path and the date, then the file itself as files/<name>, so that a file manager
// lists it and can put it back. Files are only ever moved in by the caller, never copied: a
// trash is always on the folder's own file system.
class Trash
{
public:
    // The trash for the folder open at `folder` (whose path is `folderPath`), its folders made
    // where missing. Fails with trashFailed and why when there is none that can be used.
    static Expected<Trash> forFolder(int folder, const QString &folderPath);

    Trash(Trash &&other) noexcept;
    Trash &operator=(Trash &&other) = delete;
    Trash(const Trash &) = delete;
    Trash &operator=(const Trash &) = delete;
    ~Trash();

    // The trash's own folder, the one holding files/ and info/.
    const QString &path() const { return m_path; }
    // files/, where an entry's file goes once its info file is written.
    int filesFolder() const { return m_files; }

    // Writes the info file of an entry for the file at `originalPath`, under a name that neither
    // files/ nor info/ holds (the file's own name, else "name.2.ext", ...), and answers that name.
    Expected<QString> addInfo(const QString &originalPath);
    // Removes the info file of an entry whose file did not go in after all.
    void removeInfo(const QString &entryName);

private:
    Trash() = default;

    int m_files = -1;
    int m_info = -1;
    QString m_path;
    // Where the trash's relative paths start: empty for the home trash, whose paths are absolute.
    QString m_topFolder;
};

} // namespace pressel
