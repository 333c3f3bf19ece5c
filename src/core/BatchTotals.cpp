// SPDX-License-Identifier: GPL-3.0-or-later
#include "BatchTotals.h"

#include "DisplayFormat.h"

#include <QCoreApplication>
#include <QStringList>

namespace pressel {

BatchTotals BatchTotals::of(const QList<CompressionResult> &results)
{
    BatchTotals totals;
    for (const CompressionResult &result : results) {
        if (result.isLeftOut()) {
            ++(result.failure->reason() == Failure::earlierOutput ? totals.earlierOutputCount
                                                                  : totals.alreadyCompressedCount);
            continue;
        }
        ++totals.fileCount;
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
    QStringList parts;
    if (fileCount > 0) {
        // The count chooses the English plural; a batch that saved nothing says nothing of it.
        QString line = QCoreApplication::translate("BatchTotals", "%1 个文件", nullptr, int(fileCount))
                           .arg(locale.toString(fileCount));
        if (savedBytes > 0) {
            const double share = originalBytes > 0 ? double(savedBytes) / double(originalBytes) : 0.0;
            line += u' ' + QCoreApplication::translate("BatchTotals", "· 节省 %1（%2）")
                               .arg(DisplayFormat::byteCount(savedBytes, locale), DisplayFormat::percent(share, locale));
        }
        if (skippedCount > 0)
            line += u' ' + QCoreApplication::translate("BatchTotals", "· %1 个跳过").arg(locale.toString(skippedCount));
        if (failedCount > 0)
            line += u' ' + QCoreApplication::translate("BatchTotals", "· %1 个失败").arg(locale.toString(failedCount));
        parts.append(line);
    }
    if (alreadyCompressedCount > 0)
        parts.append(QCoreApplication::translate("BatchTotals", "%1 个已压缩过").arg(locale.toString(alreadyCompressedCount)));
    if (earlierOutputCount > 0)
        parts.append(
            QCoreApplication::translate("BatchTotals", "已跳过 %1 个 Pressel 输出", nullptr, int(earlierOutputCount))
                .arg(locale.toString(earlierOutputCount)));
    return parts.join(QStringLiteral(" · "));
}

} // namespace pressel
