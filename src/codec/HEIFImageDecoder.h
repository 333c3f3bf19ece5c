// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QIODevice>
#include <QImage>

#include <optional>

namespace pressel {

// Decodes the primary image of an HEIF file (HEIC, HEIF, AVIF) with libheif, its rotation and
// mirroring applied, with alpha when it has some.
class HEIFImageDecoder
{
public:
    struct Decoded {
        QImage image;          // Format_RGB888, or Format_RGBA8888(_Premultiplied) with alpha
        QByteArray iccProfile; // what the pixels are in; empty when they are sRGB already
    };

    // Reads from `device` (from its start) while decoding. Absent when the file cannot be
    // decoded or its primary image has more than maximumPixelCount pixels; such an image is
    // refused before any pixel memory is taken.
    static std::optional<Decoded> decode(QIODevice &device, qint64 maximumPixelCount);
};

} // namespace pressel
