// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <optional>

namespace pressel {

// What one launch of the application asks for: the arguments it was given, paths or URIs,
// and the folder it was started in, against which relative paths are read. A second launch
// hands it to the running instance as one message.
struct OpenRequest {
    QStringList arguments;
    QString workingDirectory;

    QByteArray encode() const;
    // Absent for anything that is not a request written by encode().
    static std::optional<OpenRequest> decode(const QByteArray &message);
};

} // namespace pressel
