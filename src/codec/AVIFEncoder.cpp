// SPDX-License-Identifier: GPL-3.0-or-later
#include "AVIFEncoder.h"

#include <avif/avif.h>

#include <algorithm>
#include <memory>

namespace pressel {

namespace {

// libavif's later mapping of quality onto the quantizer, so that qualities mean what they will.
int quantizer(int quality)
{
    return ((100 - std::clamp(quality, 0, 100)) * AVIF_QUANTIZER_WORST_QUALITY + 50) / 100;
}

} // namespace

std::optional<QByteArray> encodeAVIF(const DecodedImage &image, const AVIFSettings &settings)
{
    if (image.image.isNull())
        return std::nullopt;
    const bool alpha = image.image.hasAlphaChannel();
    const QImage pixels = image.image.convertToFormat(alpha ? QImage::Format_RGBA8888 : QImage::Format_RGB888);
    if (pixels.isNull())
        return std::nullopt;

    const std::unique_ptr<avifImage, decltype(&avifImageDestroy)> avif(
        avifImageCreate(uint32_t(pixels.width()), uint32_t(pixels.height()), 8,
                        settings.fullChroma ? AVIF_PIXEL_FORMAT_YUV444 : AVIF_PIXEL_FORMAT_YUV420),
        avifImageDestroy);
    if (!avif)
        return std::nullopt;
    avif->colorPrimaries = AVIF_COLOR_PRIMARIES_BT709;
    avif->transferCharacteristics = AVIF_TRANSFER_CHARACTERISTICS_SRGB;
    avif->matrixCoefficients = AVIF_MATRIX_COEFFICIENTS_BT601;
    avif->yuvRange = AVIF_RANGE_FULL;
    if (!settings.exif.isEmpty()) {
        avifImageSetMetadataExif(avif.get(), reinterpret_cast<const uint8_t *>(settings.exif.constData()),
                                 size_t(settings.exif.size()));
        // libavif turns the block's orientation into irot and imir; the pixels are upright already.
        avif->transformFlags &= ~avifTransformFlags(AVIF_TRANSFORM_IROT | AVIF_TRANSFORM_IMIR);
    }
    if (!settings.xmp.isEmpty())
        avifImageSetMetadataXMP(avif.get(), reinterpret_cast<const uint8_t *>(settings.xmp.constData()),
                                size_t(settings.xmp.size()));

    avifRGBImage rgb;
    avifRGBImageSetDefaults(&rgb, avif.get());
    rgb.format = alpha ? AVIF_RGB_FORMAT_RGBA : AVIF_RGB_FORMAT_RGB;
    rgb.depth = 8;
    // libavif reads the rows in place; it never writes to them.
    rgb.pixels = const_cast<uint8_t *>(pixels.constBits());
    rgb.rowBytes = uint32_t(pixels.bytesPerLine());
    if (avifImageRGBToYUV(avif.get(), &rgb) != AVIF_RESULT_OK)
        return std::nullopt;

    const std::unique_ptr<avifEncoder, decltype(&avifEncoderDestroy)> encoder(avifEncoderCreate(), avifEncoderDestroy);
    if (!encoder)
        return std::nullopt;
    encoder->codecChoice = AVIF_CODEC_CHOICE_AOM;
    encoder->maxThreads = std::max(1, settings.threads);
    encoder->speed = std::clamp(settings.speed, AVIF_SPEED_SLOWEST, AVIF_SPEED_FASTEST);
    encoder->minQuantizer = encoder->maxQuantizer = quantizer(settings.quality);
    // Edges of transparency show every error: alpha is kept lossless.
    encoder->minQuantizerAlpha = encoder->maxQuantizerAlpha = AVIF_QUANTIZER_LOSSLESS;
    avifRWData output = AVIF_DATA_EMPTY;
    const avifResult result = avifEncoderWrite(encoder.get(), avif.get(), &output);
    const std::unique_ptr<avifRWData, decltype(&avifRWDataFree)> owner(&output, avifRWDataFree);
    if (result != AVIF_RESULT_OK)
        return std::nullopt;
    return QByteArray(reinterpret_cast<const char *>(output.data), qsizetype(output.size));
}

std::optional<QByteArray> encodeAVIF(const DecodedImage &image, int quality, int threads)
{
    AVIFSettings settings;
    settings.quality = quality;
    settings.threads = threads;
    return encodeAVIF(image, settings);
}

} // namespace pressel
