#pragma once

#include <QIODevice>
#include <QImage>

#include <optional>

namespace pressel {

// Decodes CMYK and YCCK JPEGs that carry a CMYK ICC profile, through that profile, to 8-bit
// sRGB. Qt reads such files with a naive ink formula that ignores the profile, which gives
// visibly wrong colours for anything made for print.
class CMYKJPEGDecoder
{
public:
    // Whether the JPEG on `device` (read from its start) is CMYK or YCCK with a CMYK profile.
    static bool canDecode(QIODevice &device);

    // The stored pixels, not yet oriented, as QImage::Format_RGB888; absent when the file
    // cannot be decoded or has more than maximumPixelCount pixels.
    static std::optional<QImage> decode(QIODevice &device, qint64 maximumPixelCount);
};

} // namespace pressel
