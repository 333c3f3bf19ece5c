// SPDX-License-Identifier: GPL-3.0-or-later
#include "WebPEncoder.h"

#include <webp/encode.h>

#include <algorithm>
#include <memory>

namespace pressel {

std::optional<QByteArray> encodeWebP(const DecodedImage &image, const WebPSettings &settings,
                                     const std::stop_token &stop)
{
    if (image.image.isNull() || image.width() > WEBP_MAX_DIMENSION || image.height() > WEBP_MAX_DIMENSION)
        return std::nullopt;
    WebPConfig config;
    const float quality = float(std::clamp(settings.quality, 0, 100));
    if (!WebPConfigInit(&config))
        return std::nullopt;
    if (settings.lossless) {
        // The preset's level (0 to 9) sets effort and quality together, as cwebp -z does.
        if (!WebPConfigLosslessPreset(&config, std::clamp(settings.quality / 10, 0, 9)))
            return std::nullopt;
    } else {
        config.quality = quality;
        config.method = std::clamp(settings.method, 0, 6);
        config.use_sharp_yuv = settings.sharpYUV;
        if (settings.filterStrength >= 0) {
            config.filter_strength = std::clamp(settings.filterStrength, 0, 100);
            config.autofilter = 0;
        } else {
            config.autofilter = 1;
        }
    }
    config.thread_level = 0; // the batch already runs a file per core
    if (!WebPValidateConfig(&config))
        return std::nullopt;

    const bool alpha = image.image.hasAlphaChannel();
    const QImage pixels = image.image.convertToFormat(alpha ? QImage::Format_RGBA8888 : QImage::Format_RGB888);
    WebPPicture picture;
    if (pixels.isNull() || !WebPPictureInit(&picture))
        return std::nullopt;
    const std::unique_ptr<WebPPicture, decltype(&WebPPictureFree)> owner(&picture, WebPPictureFree);
    picture.use_argb = settings.lossless;
    picture.width = pixels.width();
    picture.height = pixels.height();
    const int imported = alpha ? WebPPictureImportRGBA(&picture, pixels.constBits(), int(pixels.bytesPerLine()))
                               : WebPPictureImportRGB(&picture, pixels.constBits(), int(pixels.bytesPerLine()));
    if (!imported)
        return std::nullopt;

    WebPMemoryWriter writer;
    WebPMemoryWriterInit(&writer);
    const std::unique_ptr<WebPMemoryWriter, decltype(&WebPMemoryWriterClear)> output(&writer, WebPMemoryWriterClear);
    picture.writer = WebPMemoryWrite;
    picture.custom_ptr = &writer;
    // A large picture takes libwebp many seconds: it asks this as it goes, and gives up on 0.
    if (stop.stop_possible()) {
        picture.user_data = const_cast<std::stop_token *>(&stop);
        picture.progress_hook = [](int, const WebPPicture *current) {
            return static_cast<const std::stop_token *>(current->user_data)->stop_requested() ? 0 : 1;
        };
    }
    if (!WebPEncode(&config, &picture))
        return std::nullopt;
    return QByteArray(reinterpret_cast<const char *>(writer.mem), qsizetype(writer.size));
}

std::optional<QByteArray> encodeWebP(const DecodedImage &image, int quality, bool lossless,
                                     const std::stop_token &stop)
{
    WebPSettings settings;
    settings.quality = quality;
    settings.lossless = lossless;
    return encodeWebP(image, settings, stop);
}

} // namespace pressel
