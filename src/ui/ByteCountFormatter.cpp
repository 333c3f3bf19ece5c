// SPDX-License-Identifier: GPL-3.0-or-later
#include "ByteCountFormatter.h"

#include "DisplayFormat.h"

namespace pressel {

QString ByteCountFormatter::stringFromByteCount(qint64 byteCount) const
{
    return stringFromByteCount(byteCount, QLocale());
}

QString ByteCountFormatter::stringFromByteCount(qint64 byteCount, const QLocale &locale)
{
    return DisplayFormat::byteCount(byteCount, locale);
}

} // namespace pressel
