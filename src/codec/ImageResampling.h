// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QImage>
#include <QSize>

namespace pressel {

// The size a picture of `size` takes when its longest side is brought down to `longestSide`,
// the other side in proportion (at least one pixel); the size itself when it is not larger.
QSize sizeWithin(const QSize &size, int longestSide);

// `image` resampled to `size` with libvips: in linear light, alpha premultiplied, with a
// Lanczos3 kernel alone (no box pre-shrink). Grey stays grey, 16 bits stay 16 bits, alpha stays
// alpha; any other layout becomes 8-bit RGB(A). A null image when libvips fails.
QImage resampled(const QImage &image, const QSize &size);

} // namespace pressel
