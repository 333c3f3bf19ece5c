// SPDX-License-Identifier: GPL-3.0-or-later
#include "JPEGDecoder.h"

#include "JPEGDecompressor.h"
#include "SRGBConversion.h"

#include <algorithm>
#include <vector>

namespace pressel {

namespace {

JPEGDecoder::Kind kindFromHeader(const JPEGDecompressor &decompressor)
{
    const jpeg_decompress_struct &info = decompressor.info;
    if (info.num_components == 3 && (info.jpeg_color_space == JCS_YCbCr || info.jpeg_color_space == JCS_RGB))
        return JPEGDecoder::Kind::colour;
    if ((info.jpeg_color_space == JCS_CMYK || info.jpeg_color_space == JCS_YCCK) &&
        isCMYKProfile(decompressor.iccProfile))
        return JPEGDecoder::Kind::profiledCMYK;
    return JPEGDecoder::Kind::other;
}

struct ScanTarget {
    uchar *pixels;
    qsizetype bytesPerLine;
    JSAMPLE *inkRow;                      // one row of CMYK samples, for a transform
    const CMYKToSRGBTransform *transform; // absent: libjpeg writes RGB rows in place
};

// Decodes the scan lines into the target. Only plain data in this frame (see JPEGDecompressor).
bool readScanLines(JPEGDecompressor *decompressor, ScanTarget target)
{
    jpeg_decompress_struct *info = &decompressor->info;
    if (setjmp(decompressor->error.jump))
        return false;
    // libjpeg turns YCCK into CMYK, and YCbCr into RGB.
    info->out_color_space = target.transform ? JCS_CMYK : JCS_RGB;
    jpeg_start_decompress(info);
    if (info->output_components != (target.transform ? 4 : 3))
        return false;
    while (info->output_scanline < info->output_height) {
        uchar *line = target.pixels + qsizetype(info->output_scanline) * target.bytesPerLine;
        JSAMPROW rows[1] = {target.transform ? target.inkRow : line};
        if (jpeg_read_scanlines(info, rows, 1) != 1)
            return false;
        if (target.transform)
            target.transform->convertRow(target.inkRow, line, int(info->output_width));
    }
    jpeg_finish_decompress(info);
    return true;
}

} // namespace

JPEGDecoder::Kind JPEGDecoder::kindOf(QIODevice &device)
{
    JPEGDecompressor decompressor(device);
    return decompressor.readHeader() ? kindFromHeader(decompressor) : Kind::other;
}

std::optional<JPEGDecoder::Decoded> JPEGDecoder::decode(QIODevice &device, qint64 maximumPixelCount,
                                                        int keptLongestSide)
{
    JPEGDecompressor decompressor(device);
    if (!decompressor.readHeader())
        return std::nullopt;
    const Kind kind = kindFromHeader(decompressor);
    if (kind == Kind::other)
        return std::nullopt;
    const qint64 width = decompressor.info.image_width;
    const qint64 height = decompressor.info.image_height;
    if (width <= 0 || height <= 0 || width * height > maximumPixelCount)
        return std::nullopt;

    if (keptLongestSide > 0) {
        const qint64 longest = std::max(width, height);
        for (const int denominator : {8, 4, 2}) {
            if ((longest + denominator - 1) / denominator >= keptLongestSide) {
                decompressor.info.scale_num = 1;
                decompressor.info.scale_denom = unsigned(denominator);
                break;
            }
        }
    }
    jpeg_calc_output_dimensions(&decompressor.info);
    const qint64 outputWidth = decompressor.info.output_width;
    const qint64 outputHeight = decompressor.info.output_height;

    Decoded decoded{QImage(int(outputWidth), int(outputHeight), QImage::Format_RGB888), decompressor.iccProfile};
    if (decoded.image.isNull())
        return std::nullopt;
    std::optional<CMYKToSRGBTransform> transform;
    std::vector<JSAMPLE> inkRow;
    if (kind == Kind::profiledCMYK) {
        // Adobe's writers store CMYK inverted and mark the file with their APP14 segment.
        transform = CMYKToSRGBTransform::create(decoded.iccProfile, decompressor.info.saw_Adobe_marker);
        if (!transform)
            return std::nullopt;
        inkRow.resize(size_t(outputWidth) * 4);
        decoded.iccProfile.clear(); // the transform brings the pixels to sRGB
    }
    const ScanTarget target{decoded.image.bits(), decoded.image.bytesPerLine(), inkRow.data(),
                            transform ? &*transform : nullptr};
    if (!readScanLines(&decompressor, target))
        return std::nullopt;
    decoded.damaged = decompressor.error.damaged;
    return decoded;
}

} // namespace pressel
