// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The files a benchmark measures in a corpus folder, by name. What Pressel wrote there before
// (a run of the application or a test over the corpus) is left out, as a batch leaves it out;
// measured, it would count twice and at a compressed size.

#include "CompressionSettings.h"
#include "EarlierOutputs.h"

#include <QDir>
#include <QFileInfoList>
#include <QStringList>
#include <QUrl>

namespace BenchSupport {

inline QFileInfoList corpusFiles(const QString &folder, const QStringList &patterns)
{
    pressel::EarlierOutputs earlier{pressel::CompressionSettings{}};
    QFileInfoList files = QDir(folder).entryInfoList(patterns, QDir::Files, QDir::Name);
    files.removeIf([&](const QFileInfo &file) {
        return earlier.find(QUrl::fromLocalFile(file.filePath())) == pressel::EarlierOutputs::Finding::earlierOutput;
    });
    return files;
}

} // namespace BenchSupport
