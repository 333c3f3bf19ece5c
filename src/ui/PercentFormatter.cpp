// SPDX-License-Identifier: GPL-3.0-or-later
#include "PercentFormatter.h"

#include "DisplayFormat.h"

namespace pressel {

QString PercentFormatter::stringFromFraction(double fraction) const
{
    return stringFromFraction(fraction, QLocale());
}

QString PercentFormatter::stringFromFraction(double fraction, const QLocale &locale)
{
    return DisplayFormat::percent(fraction, locale);
}

} // namespace pressel
