// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QMetaType>
#include <QString>

namespace pressel {

// How one file's processing ended; the views choose how to show it.
enum class CompressionResultStatus { success, skipped, failed };

// The status as scripts and QML read it.
inline QString statusName(CompressionResultStatus status)
{
    switch (status) {
    case CompressionResultStatus::success:
        return QStringLiteral("success");
    case CompressionResultStatus::skipped:
        return QStringLiteral("skipped");
    case CompressionResultStatus::failed:
        return QStringLiteral("failed");
    }
    Q_UNREACHABLE();
    return {};
}

} // namespace pressel
