// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <QUrl>

#include <optional>

namespace pressel {

// A file name without its last extension, the base an output's name is made from.
QString baseName(const QString &fileName);

// The output naming rule: <base>.<extension> in the folder, then <base>-1.<extension>,
// <base>-2.<extension>, ... until nothing exists there and no OutputNameReservation holds the
// name. The name is only tested; the caller reserves it. A base too long for the file-name limit
// is shortened at a character boundary, and the name then always carries its "-N", as does the
// output of a conversion (`numbered`): IMG_0001.jpg beside IMG_0001.HEIC would pass for the
// camera's own.
QUrl makeUniqueOutputURL(const QUrl &sourceURL, const QString &extension, const QUrl &folderURL,
                         bool numbered = false);

// The folder `relative` (names joined by "/", or nothing) below the folder `root`, each missing
// folder made on the way. Every name is taken as a folder of its own, never through a link
// planted there, so outputs land nowhere but below `root`. The open folder, or -1 with errno.
int openOutputFolder(const QString &root, const QString &relative);

// A claim on an output name for as long as it lives, held in this process, so that files
// compressed side by side never get the same name while neither output exists yet.
class OutputNameReservation
{
public:
    // Absent when the name is held already.
    static std::optional<OutputNameReservation> reserve(const QUrl &outputURL);
    static bool isReserved(const QString &path);

    ~OutputNameReservation();
    OutputNameReservation(OutputNameReservation &&other) noexcept;
    OutputNameReservation &operator=(OutputNameReservation &&other) noexcept;
    OutputNameReservation(const OutputNameReservation &) = delete;
    OutputNameReservation &operator=(const OutputNameReservation &) = delete;

private:
    explicit OutputNameReservation(QString path)
        : m_path(std::move(path))
    {}
    QString m_path; // empty once moved from
};

// A file's size: absent when nothing can be read at the URL, 0 when no size is reported
// (a folder, say), the size in bytes otherwise.
std::optional<qint64> readFileSize(const QUrl &url);

} // namespace pressel
