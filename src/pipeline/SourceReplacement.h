// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "Failure.h"

#include <QUrl>

#include <functional>

namespace pressel {

class PrivateFile;
class SourceFile;

// Where a replacement left the two files.
struct Replacement {
    QUrl outputURL;        // at the source's name, or a name of its own with another extension
    QUrl trashedSourceURL; // the source, in the Trash's files/
};

// Gives a finished output its source's place and moves the source to the Trash, never
// deleting anything: a kill at any moment leaves either the source in place (the output, if
// any, unnamed, beside it, or in the Trash under the source's name), or the source in the
// Trash and the output at its name.
//
// With the source's extension the output goes into the Trash's files/ first, under the entry
// whose info file already names the source, and one exchange of the two names
// (RENAME_EXCHANGE) then puts the output at the source's name and the source in the Trash: no
// moment exists at which the source is neither in place nor in the Trash with its info.
// With another extension the output is published beside the source under `outputURL` (or the
// next free name from `retry`, as any output), and the source then moves into the Trash.
//
// The output was made in the source's folder. Fails with trashFailed when the Trash cannot
// take the source (on a file system without exchanges, too), with sourceChanged when another
// file stood at the source's name by then; the source and its folder are then as they were.
Expected<Replacement> replaceSource(PrivateFile &output, const SourceFile &source, QUrl outputURL,
                                    const std::function<QUrl()> &retry);

} // namespace pressel
