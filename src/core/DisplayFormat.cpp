// SPDX-License-Identifier: GPL-3.0-or-later
#include "DisplayFormat.h"

#include <algorithm>
#include <cmath>

namespace pressel {

namespace DisplayFormat {

QString byteCount(qint64 byteCount, const QLocale &locale)
{
    // Under a kilobyte in bytes, so that a small file never reads "0 kB" or rounds up to "1 kB".
    if (byteCount < 1000)
        return locale.toString(std::max<qint64>(0, byteCount)) + QStringLiteral(" B");

    const qint64 kilobytes = byteCount / 1000 + (byteCount % 1000 >= 500 ? 1 : 0);
    if (kilobytes < 1000)
        return locale.toString(kilobytes) + QStringLiteral(" kB");

    // Megabytes carry one fraction digit, dropped when it is zero ("2 MB", "2.5 MB"). There is
    // no larger unit: a huge file stays in megabytes.
    const double megabytes = std::round(double(byteCount) / 100'000.0) / 10.0;
    const bool whole = megabytes == std::floor(megabytes);
    return locale.toString(megabytes, 'f', whole ? 0 : 1) + QStringLiteral(" MB");
}

QString percent(double fraction, const QLocale &locale)
{
    if (!std::isfinite(fraction))
        return QStringLiteral("-");
    // Through an integer so that a tiny negative value never reads "-0%".
    const auto percent = qint64(std::nearbyint(fraction * 100.0));
    return locale.toString(percent) + locale.percent();
}

QString pixelResize(const QSize &from, const QSize &to)
{
    return QStringLiteral("%1×%2 → %3×%4").arg(from.width()).arg(from.height()).arg(to.width()).arg(to.height());
}

} // namespace DisplayFormat

} // namespace pressel
