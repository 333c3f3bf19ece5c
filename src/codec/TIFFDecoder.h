// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QIODevice>
#include <QImage>

#include <optional>

namespace pressel {

// Decodes the first page of a CMYK TIFF (8 or 16 bits per ink, in strips, samples interleaved) with libtiff to 8-bit
// sRGB, through its CMYK profile when it carries one. Qt's TIFF reader turns CMYK into RGB with a naive ink formula,
// for 8-bit inks only and ignoring the profile; every other TIFF is left to Qt, which reads 8- and 16-bit RGB, grey and
// alpha.
class TIFFDecoder
{
public:
    // Whether the first page of the TIFF on `device` (read from its start) is one this decoder
    // takes, from its tags alone.
    static bool isCMYK(QIODevice &device);

    struct Decoded {
        QImage image;             // the stored pixels, not yet oriented, as QImage::Format_RGB888
        bool fromProfile = false; // brought through an embedded CMYK profile
    };

    // Absent when the page is not one isCMYK() takes, cannot be decoded, or has more than
    // maximumPixelCount pixels, which is refused before any pixel memory is taken.
    static std::optional<Decoded> decode(QIODevice &device, qint64 maximumPixelCount);
};

} // namespace pressel
