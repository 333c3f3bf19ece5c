// SPDX-License-Identifier: GPL-3.0-or-later
#include "BatchTotals.h"

#include "DisplayFormat.h"

#include <QCoreApplication>

namespace pressel {

BatchTotals BatchTotals::of(const QList<CompressionResult> &results)
{
    BatchTotals totals;
    totals.fileCount = results.size();
    for (const CompressionResult &result : results) {
        switch (result.status) {
        case CompressionResultStatus::skipped:
            ++totals.skippedCount;
            break;
        case CompressionResultStatus::failed:
            ++totals.failedCount;
            break;
        case CompressionResultStatus::success:
            // A success without usable sizes shows as a failure on its row and saves nothing here.
            if (result.compressedBytes && result.originalBytes >= 1) {
                totals.originalBytes += result.originalBytes;
                totals.savedBytes += result.originalBytes - *result.compressedBytes;
            }
            break;
        }
    }
    return totals;
}

QString BatchTotals::text(const QLocale &locale) const
{
    const double share = originalBytes > 0 ? double(savedBytes) / double(originalBytes) : 0.0;
    QString line = QCoreApplication::translate("BatchTotals", "%1 个文件 · 节省 %2（%3）")
                       .arg(locale.toString(fileCount), DisplayFormat::byteCount(savedBytes, locale),
                            DisplayFormat::percent(share, locale));
    if (skippedCount > 0)
        line += u' ' + QCoreApplication::translate("BatchTotals", "· %1 个跳过").arg(locale.toString(skippedCount));
    if (failedCount > 0)
        line += u' ' + QCoreApplication::translate("BatchTotals", "· %1 个失败").arg(locale.toString(failedCount));
    return line;
}

} // namespace pressel
