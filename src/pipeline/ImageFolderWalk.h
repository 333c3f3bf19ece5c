// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QList>
#include <QUrl>

#include <functional>

namespace pressel {

// The image files inside a folder and its subfolders, as a batch takes them from a folder: the
// names whose extension marks an image (case-insensitive), in path order, hidden files and
// folders left out, symbolic links passed by (to files as to folders), at most `limit` files.
struct ImageFolderWalk {
    QList<QUrl> files;
    // More image files were there than the limit allowed.
    bool truncated = false;

    static constexpr qsizetype defaultLimit = 10000;

    // Stops early, with what it has, when isCancelled answers true (asked once per folder).
    static ImageFolderWalk walk(const QString &folderPath, qsizetype limit = defaultLimit,
                                const std::function<bool()> &isCancelled = {});
};

} // namespace pressel
