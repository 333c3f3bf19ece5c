// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "ImageCodec.h"

#include <QByteArray>

#include <optional>

namespace pressel {

// How a picture is written as AVIF with libavif and libaom. The defaults are the ones
// bench/quality chose: at the default quality a photo's median Butteraugli distance matches
// mozjpeg's at quality 75.
struct AVIFSettings {
    static constexpr int defaultQuality = 73;

    int quality = defaultQuality; // 0 to 100, mapped onto AV1's quantizer 63 to 0
    int speed = 6;                // libaom's effort, 0 (smallest) to 10 (fast)
    int threads = 1;
    bool fullChroma = false; // 4:4:4 instead of 4:2:0
    QByteArray exif;         // TIFF-structured EXIF; its orientation is not applied again
    QByteArray xmp;
};

// The picture as one AVIF still, 8-bit sRGB (nclx), alpha kept as an auxiliary image, with the
// Exif and XMP items given. Absent when the encoder fails.
std::optional<QByteArray> encodeAVIF(const DecodedImage &image, const AVIFSettings &settings);
std::optional<QByteArray> encodeAVIF(const DecodedImage &image, int quality, int threads = 1);

} // namespace pressel
