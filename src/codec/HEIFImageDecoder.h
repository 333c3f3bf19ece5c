// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QIODevice>
#include <QImage>
#include <QSize>

#include <optional>

namespace pressel {

// Decodes the primary image of an HEIF file (HEIC, HEIF, AVIF; 8 or more bits, grids included)
// with libheif to 8 bits, its rotation and mirroring (irot, imir) applied, with alpha when it has
// some. An EXIF orientation in the file is never applied on top: in HEIF the transformation
// boxes alone say how the picture stands, and the EXIF block only repeats what they do.
class HEIFImageDecoder
{
public:
    struct Decoded {
        QImage image;          // Format_RGB888, or Format_RGBA8888(_Premultiplied) with alpha
        QByteArray iccProfile; // what the pixels are in; empty when they are sRGB already
    };

    // Reads from `device` (from its start) while decoding. Absent when the file cannot be
    // decoded, its primary image has more than maximumPixelCount pixels or an image in it has a
    // side longer than a square of that many; such an image is refused before any pixel memory
    // is taken.
    static std::optional<Decoded> decode(QIODevice &device, qint64 maximumPixelCount);

    // The primary image's size upright, from the container alone; absent when it cannot be
    // parsed, or an image in it has a side longer than a square of maximumPixelCount pixels.
    static std::optional<QSize> uprightSize(QIODevice &device, qint64 maximumPixelCount);
};

} // namespace pressel
