// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "ImageCodec.h"

#include <QByteArray>

#include <optional>
#include <stop_token>

namespace pressel {

// How a picture is written as WebP. The defaults are the ones bench/quality chose: at the
// default quality a photo's median Butteraugli distance matches mozjpeg's at quality 75.
struct WebPSettings {
    static constexpr int defaultQuality = 86;

    int quality = defaultQuality; // 0 to 100; for lossless, how hard to try
    bool lossless = false;
    int method = 6;          // libwebp's effort, 0 (fast) to 6 (smallest)
    bool sharpYUV = true;    // the slower RGB to YUV conversion that keeps colour edges sharp
    int filterStrength = -1; // the deblocking filter, 0 to 100; -1 for libwebp's own choice
};

// The picture as one still WebP, alpha kept, in sRGB without metadata (Exiv2 adds that later),
// encoded on the calling thread only. Absent when libwebp fails, the picture is larger than
// WebP allows (16383 pixels a side), or a stop is requested while it encodes.
std::optional<QByteArray> encodeWebP(const DecodedImage &image, const WebPSettings &settings,
                                     const std::stop_token &stop = {});
std::optional<QByteArray> encodeWebP(const DecodedImage &image, int quality, bool lossless,
                                     const std::stop_token &stop = {});

} // namespace pressel
