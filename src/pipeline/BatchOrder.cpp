// SPDX-License-Identifier: GPL-3.0-or-later
#include "BatchOrder.h"

#include <QFileInfo>
#include <QRegularExpression>

namespace pressel {

// Output names are cut at about 250 bytes; a shorter prefix only joins more files in a group.
constexpr qsizetype namingGroupLength = 32;

BatchOrder::BatchOrder(const std::vector<File> &files) : m_files(files), m_started(files.size(), false)
{
    for (qsizetype index = 0; index < qsizetype(m_files.size()); ++index) {
        const File &file = m_files[size_t(index)];
        if (file.namingGroup.isEmpty()) {
            m_startable.emplace(-file.pixels, index);
            continue;
        }
        std::vector<qsizetype> &group = m_groups[file.namingGroup];
        if (group.empty())
            m_startable.emplace(-file.pixels, index);
        group.push_back(index);
    }
}

QString BatchOrder::namingGroup(const QUrl &source)
{
    static const QRegularExpression counters(QStringLiteral("(-[0-9]+)+$"));
    // "photo-1.heic" may become "photo-1.jpg", a name "photo.jpg" competes for.
    QString base = QFileInfo(source.toLocalFile()).completeBaseName().toCaseFolded();
    if (const qsizetype dot = base.indexOf(u'.'); dot > 0)
        base.truncate(dot);
    base.remove(counters);
    return u'/' + base.left(namingGroupLength);
}

std::optional<qsizetype> BatchOrder::next() const
{
    if (m_startable.empty())
        return std::nullopt;
    return m_startable.begin()->second;
}

void BatchOrder::markStarted(qsizetype index)
{
    const File &file = m_files[size_t(index)];
    m_started[size_t(index)] = true;
    m_startable.erase({-file.pixels, index});
    if (file.namingGroup.isEmpty())
        return;
    const std::vector<qsizetype> &group = m_groups[file.namingGroup];
    size_t &position = m_nextToStart[file.namingGroup];
    ++position;
    if (position < group.size())
        m_startable.emplace(-m_files[size_t(group[position])].pixels, group[position]);
}

bool BatchOrder::isTurnToName(qsizetype index) const
{
    const QString &group = m_files[size_t(index)].namingGroup;
    if (group.isEmpty())
        return true;
    const auto position = m_nextToName.find(group);
    return m_groups.at(group)[position == m_nextToName.end() ? 0 : position->second] == index;
}

void BatchOrder::passTurn(qsizetype index)
{
    const QString &group = m_files[size_t(index)].namingGroup;
    if (!group.isEmpty())
        ++m_nextToName[group];
}

} // namespace pressel
