// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QIODevice>
#include <QImage>

#include <optional>

namespace pressel {

// Decodes a JPEG at an eighth of its stored size from its DC coefficients alone, in little
// memory whatever its size. A progressive file is read only as far as its DC scans, the first
// ones a writer puts in, so a view of a huge progressive photo at fit costs a fraction of a whole
// decode. Two files with the same DC terms give the same pixels, however they were written.
class JPEGPreviewDecoder
{
public:
    struct Preview {
        QImage image; // stored orientation, Format_RGB888 or Format_Grayscale8
        QByteArray iccProfile;
    };

    // Absent for what is not a grey or YCbCr/RGB JPEG (CMYK has a decoder of its own), when the
    // file cannot be decoded, or has more than maximumPixelCount stored pixels.
    static std::optional<Preview> decode(QIODevice &device, qint64 maximumPixelCount);
};

} // namespace pressel
