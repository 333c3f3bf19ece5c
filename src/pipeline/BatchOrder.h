// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <QUrl>

#include <map>
#include <optional>
#include <set>
#include <vector>

namespace pressel {

// The order in which the files of a batch start, and whose turn it is to name an output.
//
// The largest file starts first, so that a batch does not end with one large file running
// alone. Output names must not depend on that order: they are the names a batch run strictly
// one file after another would give. Names compete only between files of one naming group, so
// within a group files start and name their outputs in batch order, and across groups in any
// order.
class BatchOrder
{
public:
    struct File {
        QString namingGroup; // empty: the file names no output
        qint64 pixels = 0;   // the work it stands for
    };

    explicit BatchOrder(const std::vector<File> &files);

    // The files whose outputs may compete for a name: the same base name as a file system that
    // ignores case sees it, counters ("-2") dropped, cut short as long names are.
    static QString namingGroup(const QUrl &source);

    // The largest file that may start now; none once every file has started.
    std::optional<qsizetype> next() const;
    void markStarted(qsizetype index);
    bool hasStarted(qsizetype index) const { return m_started[size_t(index)]; }

    bool isTurnToName(qsizetype index) const;
    // Passes the group's turn on, whether the file named an output or ended before.
    void passTurn(qsizetype index);

private:
    std::vector<File> m_files;
    std::vector<bool> m_started;
    std::map<QString, std::vector<qsizetype>> m_groups;  // each group's files in batch order
    std::map<QString, size_t> m_nextToStart, m_nextToName; // positions in m_groups
    std::set<std::pair<qint64, qsizetype>> m_startable;    // (-pixels, index)
};

} // namespace pressel
