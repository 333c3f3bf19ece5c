// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// What every benchmark shares: the median it quotes, and a log handler that keeps the
// pipeline's own lines out of the figures while warnings still show.

#include <QList>
#include <QLoggingCategory>
#include <QString>

#include <algorithm>
#include <cstdio>

namespace BenchSupport {

inline double median(QList<double> values)
{
    std::sort(values.begin(), values.end());
    const qsizetype middle = values.size() / 2;
    return values.size() % 2 ? values.at(middle) : (values.at(middle - 1) + values.at(middle)) / 2.0;
}

inline void quietPipelineLog(QtMsgType type, const QMessageLogContext &context, const QString &message)
{
    if (qstrncmp(context.category ? context.category : "", "com.korvane.Pressel.", 20) == 0)
        return;
    if (type >= QtWarningMsg)
        std::fprintf(stderr, "%s\n", qPrintable(message));
}

} // namespace BenchSupport
