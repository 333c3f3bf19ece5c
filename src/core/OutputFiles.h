#pragma once

#include <QString>
#include <QUrl>

#include <optional>

// The output naming rule: <base>.<extension> in the folder, then <base>-1.<extension>,
// <base>-2.<extension>, ... until nothing exists there. The name is only tested, not reserved.
// A base too long for the file-name limit is shortened at a character boundary, and the name
// then always carries its "-N".
QUrl makeUniqueOutputURL(const QUrl &sourceURL, const QString &extension, const QUrl &folderURL);

// A file's size: absent when nothing can be read at the URL, 0 when no size is reported
// (a folder, say), the size in bytes otherwise.
std::optional<qint64> readFileSize(const QUrl &url);

// Removes a temporary or rejected file; a failure, including nothing being there, is ignored.
void removeItemIgnoringErrors(const QUrl &url);
