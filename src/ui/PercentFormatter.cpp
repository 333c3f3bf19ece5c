#include "PercentFormatter.h"

#include <cmath>

QString PercentFormatter::stringFromFraction(double fraction) const
{
    return stringFromFraction(fraction, QLocale());
}

QString PercentFormatter::stringFromFraction(double fraction, const QLocale &locale)
{
    if (!std::isfinite(fraction))
        return QStringLiteral("-");
    // Through an integer so that a tiny negative value never reads "-0%".
    const auto percent = qint64(std::nearbyint(fraction * 100.0));
    return locale.toString(percent) + locale.percent();
}
