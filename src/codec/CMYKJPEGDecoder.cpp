#include "CMYKJPEGDecoder.h"

#include "JPEGDecompressor.h"
#include "SRGBConversion.h"

#include <vector>

namespace pressel {

namespace {

bool isCMYK(const jpeg_decompress_struct &info)
{
    return info.jpeg_color_space == JCS_CMYK || info.jpeg_color_space == JCS_YCCK;
}

struct ScanTarget {
    uchar *pixels;
    qsizetype bytesPerLine;
    JSAMPLE *row;
    const CMYKToSRGBTransform *transform;
};

// Decodes the scan lines into the target. Only plain data in this frame (see JPEGDecompressor).
bool readScanLines(JPEGDecompressor *decompressor, ScanTarget target)
{
    jpeg_decompress_struct *info = &decompressor->info;
    if (setjmp(decompressor->error.jump))
        return false;
    info->out_color_space = JCS_CMYK; // libjpeg turns YCCK into CMYK
    jpeg_start_decompress(info);
    if (info->output_components != 4)
        return false;
    while (info->output_scanline < info->output_height) {
        uchar *line = target.pixels + qsizetype(info->output_scanline) * target.bytesPerLine;
        JSAMPROW rows[1] = {target.row};
        if (jpeg_read_scanlines(info, rows, 1) != 1)
            return false;
        target.transform->convertRow(target.row, line, int(info->output_width));
    }
    jpeg_finish_decompress(info);
    return true;
}

} // namespace

bool CMYKJPEGDecoder::canDecode(QIODevice &device)
{
    JPEGDecompressor decompressor(device);
    return decompressor.readHeader() && isCMYK(decompressor.info) && isCMYKProfile(decompressor.iccProfile);
}

std::optional<QImage> CMYKJPEGDecoder::decode(QIODevice &device, qint64 maximumPixelCount)
{
    JPEGDecompressor decompressor(device);
    if (!decompressor.readHeader() || !isCMYK(decompressor.info) || decompressor.iccProfile.isEmpty())
        return std::nullopt;
    const qint64 width = decompressor.info.image_width;
    const qint64 height = decompressor.info.image_height;
    if (width <= 0 || height <= 0 || width * height > maximumPixelCount)
        return std::nullopt;

    // Adobe's writers store CMYK inverted and mark the file with their APP14 segment.
    const auto transform = CMYKToSRGBTransform::create(decompressor.iccProfile, decompressor.info.saw_Adobe_marker);
    if (!transform)
        return std::nullopt;
    QImage image(int(width), int(height), QImage::Format_RGB888);
    if (image.isNull())
        return std::nullopt;
    std::vector<JSAMPLE> row(size_t(width) * 4);
    if (!readScanLines(&decompressor, {image.bits(), image.bytesPerLine(), row.data(), &*transform}))
        return std::nullopt;
    return image;
}

} // namespace pressel
