// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QImage>
#include <QImageIOHandler>
#include <QSize>

#include <optional>

namespace pressel {

// Decodes still WebP pictures (lossy, lossless, with or without alpha) with libwebp; their EXIF
// orientation is read for the caller to apply. Animations are recognised, never decoded: their first frame is no
// picture of the whole.
class WebPImageDecoder
{
public:
    struct Header {
        QSize uprightSize;
        bool animated = false;
        bool lossless = false;
    };

    // What the container's header says; absent when it is no WebP libwebp can parse.
    static std::optional<Header> header(const QByteArray &bytes);

    struct Decoded {
        QImage image;                                    // as stored; Format_RGB888, or Format_RGBA8888 with alpha
        QByteArray iccProfile;                           // what the pixels are in; empty when they are sRGB already
        QImageIOHandler::Transformations transformation; // what makes them upright (EXIF)
    };

    // Absent for an animation, a damaged file, or one of more than maximumPixelCount pixels,
    // which is refused before any pixel memory is taken.
    static std::optional<Decoded> decode(const QByteArray &bytes, qint64 maximumPixelCount);
};

} // namespace pressel
