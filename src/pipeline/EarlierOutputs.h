// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "CompressionSettings.h"

#include <QHash>
#include <QSet>
#include <QString>
#include <QUrl>

namespace pressel {

class SourceFile;

// What Pressel made before. Every output carries, in an extended attribute, its source's name,
// size and modification time and the settings it was made with. A batch leaves earlier outputs
// alone, and a source whose output made with the same settings still stands beside it, so that
// adding a folder again compresses only what is new in it.
//
// Outputs without the attribute (an older Pressel, a file system that keeps none, a copy) are
// known by their name: "X-N.ext" beside a source "X.*". A source is only known to be done by the
// attribute; without it, it is compressed again.
class EarlierOutputs
{
public:
    enum class Finding { none, earlierOutput, alreadyCompressed };

    explicit EarlierOutputs(const CompressionSettings &settings);

    // What the file is to a batch with these settings. Folders are listed once per object.
    Finding find(const QUrl &file);

    // Whether the file carries an output's attribute: the name alone says nothing here.
    static bool isMarked(const QUrl &file);

    // Marks an output in the making as made from `source` with `settings`. Where the file system
    // keeps no attribute, nothing is marked.
    static void mark(int outputDescriptor, const SourceFile &source, const CompressionSettings &settings);

    static const char *const attributeName;

private:
    struct Folder {
        QSet<QString> baseNames;                    // case-folded, of every entry
        QHash<QString, QStringList> numberedByBase; // "x" -> the entries named "x-N.ext"
    };
    const Folder &folder(const QString &path);

    QString m_settings;
    QHash<QString, Folder> m_folders;
};

} // namespace pressel
