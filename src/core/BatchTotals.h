// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "CompressionResult.h"

#include <QList>
#include <QLocale>
#include <QString>

namespace pressel {

// The one line above a finished batch's rows: how many files, what the successful ones saved,
// and how many were skipped or failed.
struct BatchTotals {
    qsizetype fileCount = 0;
    qsizetype skippedCount = 0;
    qsizetype failedCount = 0;
    qsizetype earlierOutputCount = 0;
    qsizetype alreadyCompressedCount = 0;
    qint64 originalBytes = 0; // of the successful rows
    qint64 savedBytes = 0;    // over the successful rows

    static BatchTotals of(const QList<CompressionResult> &results);

    // "3 个文件 · 节省 1.2 MB（35%）" (the saving only when there is one), then " · 1 个跳过" and
    // " · 1 个失败" when there are any; the files left out of the rows last. Empty when there is
    // nothing to say.
    QString text(const QLocale &locale = QLocale()) const;
};

} // namespace pressel
