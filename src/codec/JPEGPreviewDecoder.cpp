#include "JPEGPreviewDecoder.h"

#include "JPEGDecompressor.h"

namespace pressel {

namespace {

// Whether every component's DC coefficients have arrived at full precision.
bool hasWholeDC(const jpeg_decompress_struct &info)
{
    for (int component = 0; component < info.num_components; ++component) {
        if (info.coef_bits[component][0] != 0)
            return false;
    }
    return true;
}

// Only plain data in this frame (see JPEGDecompressor).
bool readEighth(JPEGDecompressor *decompressor, uchar *pixels, qsizetype bytesPerLine)
{
    jpeg_decompress_struct *info = &decompressor->info;
    if (setjmp(decompressor->error.jump))
        return false;
    if (info->progressive_mode) {
        info->buffered_image = TRUE;
        // Smoothing guesses at coefficients still to come; an eighth uses none of them.
        info->do_block_smoothing = FALSE;
    }
    jpeg_start_decompress(info);
    if (info->buffered_image) {
        int status = JPEG_SUSPENDED;
        while (status != JPEG_REACHED_EOI && !(status == JPEG_SCAN_COMPLETED && hasWholeDC(*info)))
            status = jpeg_consume_input(info);
        jpeg_start_output(info, info->input_scan_number);
    }
    while (info->output_scanline < info->output_height) {
        JSAMPROW rows[1] = {pixels + qsizetype(info->output_scanline) * bytesPerLine};
        if (jpeg_read_scanlines(info, rows, 1) != 1)
            return false;
    }
    // The rest of the file holds nothing an eighth needs.
    jpeg_abort_decompress(info);
    return true;
}

} // namespace

std::optional<JPEGPreviewDecoder::Preview> JPEGPreviewDecoder::decode(QIODevice &device, qint64 maximumPixelCount)
{
    JPEGDecompressor decompressor(device);
    if (!decompressor.readHeader())
        return std::nullopt;
    jpeg_decompress_struct &info = decompressor.info;
    const qint64 width = info.image_width;
    const qint64 height = info.image_height;
    if (width <= 0 || height <= 0 || width * height > maximumPixelCount)
        return std::nullopt;
    const bool grey = info.jpeg_color_space == JCS_GRAYSCALE;
    if (!grey && info.jpeg_color_space != JCS_YCbCr && info.jpeg_color_space != JCS_RGB)
        return std::nullopt;
    info.out_color_space = grey ? JCS_GRAYSCALE : JCS_RGB;
    info.scale_num = 1;
    info.scale_denom = 8;
    jpeg_calc_output_dimensions(&info);
    QImage image(int(info.output_width), int(info.output_height),
                 grey ? QImage::Format_Grayscale8 : QImage::Format_RGB888);
    if (image.isNull() || !readEighth(&decompressor, image.bits(), image.bytesPerLine()))
        return std::nullopt;
    return Preview{std::move(image), std::move(decompressor.iccProfile)};
}

} // namespace pressel
