// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QLocale>
#include <QSize>
#include <QString>

namespace pressel {

// Sizes and shares as every face of the program shows them, window and command line alike.
namespace DisplayFormat {

// Kilobytes or megabytes only, counted in multiples of 1000, in the locale's digits.
QString byteCount(qint64 byteCount, const QLocale &locale);
// A fraction as a whole percent: 0.35 -> "35%". No fraction digits; halves round to the even
// neighbour.
QString percent(double fraction, const QLocale &locale);
// A picture's size before and after resizing: "4032×3024 → 1920×1440".
QString pixelResize(const QSize &from, const QSize &to);

} // namespace DisplayFormat

} // namespace pressel
