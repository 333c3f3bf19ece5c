// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>
#include <QUrl>

#include <optional>

namespace pressel {

// What one launch of the application asks for: the arguments it was given, paths or URIs,
// and the folder it was started in, against which relative paths are read. A later launch
// hands it to the running instance as one message.
struct OpenRequest {
    QStringList arguments;
    QString workingDirectory;

    // The arguments as URLs: a path becomes a file URL, read against the working directory;
    // a URI (a file manager passes file:// URIs) stays what it is.
    QList<QUrl> urls() const;

    // A marker, then the folder and the arguments, each ended by a NUL (which no argument can
    // hold): never larger than the launch's own command line and folder, so whatever the
    // system let a launch be given fits one message.
    QByteArray encode() const;
    // Absent for anything that is not a request written by encode().
    static std::optional<OpenRequest> decode(const QByteArray &message);
};

} // namespace pressel
