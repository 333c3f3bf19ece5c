// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QIODevice>
#include <QImage>

#include <optional>

namespace pressel {

// Decodes JPEGs with libjpeg straight to 8-bit RGB rows, without a 32-bit image in between:
// colour JPEGs (three components), and CMYK or YCCK ones that carry a CMYK ICC profile, which
// are brought through that profile to sRGB. Qt reads CMYK with a naive ink formula that ignores
// the profile, which gives visibly wrong colours for anything made for print. Grey JPEGs and
// CMYK ones without a profile are left to Qt.
class JPEGDecoder
{
public:
    enum class Kind { colour, profiledCMYK, other };

    // What the JPEG on `device` (read from its start) is, from its header alone.
    static Kind kindOf(QIODevice &device);

    struct Decoded {
        QImage image;          // the stored pixels, not yet oriented, as QImage::Format_RGB888
        QByteArray iccProfile; // what the pixels are in; empty when they are sRGB already
        bool damaged = false;  // data missing or corrupt; the pixels hold libjpeg's grey there
    };

    // Reads from `device` (from its start) while decoding. Absent for a JPEG of Kind::other,
    // one that cannot be decoded, or one with more than maximumPixelCount pixels, which is
    // refused before any pixel memory is taken. With a longest side to keep, the DCT decodes
    // at the smallest scale of ½, ¼ and ⅛ whose longest side is still at least that long.
    static std::optional<Decoded> decode(QIODevice &device, qint64 maximumPixelCount, int keptLongestSide = 0);
};

} // namespace pressel
