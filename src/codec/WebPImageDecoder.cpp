// SPDX-License-Identifier: GPL-3.0-or-later
#include "WebPImageDecoder.h"

#include "ExifOrientation.h"

#include <webp/decode.h>
#include <webp/demux.h>

#include <memory>

namespace pressel {

namespace {

using Demuxer = std::unique_ptr<WebPDemuxer, decltype(&WebPDemuxDelete)>;

Demuxer demux(const QByteArray &bytes)
{
    const WebPData data{reinterpret_cast<const uint8_t *>(bytes.constData()), size_t(bytes.size())};
    return Demuxer(WebPDemux(&data), WebPDemuxDelete);
}

QByteArray chunk(WebPDemuxer *demuxer, const char *fourcc)
{
    WebPChunkIterator iterator;
    if (!WebPDemuxGetChunk(demuxer, fourcc, 1, &iterator))
        return {};
    QByteArray bytes(reinterpret_cast<const char *>(iterator.chunk.bytes), qsizetype(iterator.chunk.size));
    WebPDemuxReleaseChunkIterator(&iterator);
    return bytes;
}

} // namespace

std::optional<WebPImageDecoder::Header> WebPImageDecoder::header(const QByteArray &bytes)
{
    WebPBitstreamFeatures features;
    if (WebPGetFeatures(reinterpret_cast<const uint8_t *>(bytes.constData()), size_t(bytes.size()), &features) !=
        VP8_STATUS_OK)
        return std::nullopt;
    QSize size(features.width, features.height);
    if (const Demuxer demuxer = demux(bytes);
        demuxer && exifOrientation(chunk(demuxer.get(), "EXIF")).testFlag(QImageIOHandler::TransformationRotate90))
        size.transpose();
    return Header{size, features.has_animation != 0, features.format == 2};
}

std::optional<WebPImageDecoder::Decoded> WebPImageDecoder::decode(const QByteArray &bytes, qint64 maximumPixelCount)
{
    WebPDecoderConfig config;
    if (!WebPInitDecoderConfig(&config))
        return std::nullopt;
    const auto *data = reinterpret_cast<const uint8_t *>(bytes.constData());
    if (WebPGetFeatures(data, size_t(bytes.size()), &config.input) != VP8_STATUS_OK || config.input.has_animation ||
        config.input.width <= 0 || config.input.height <= 0 ||
        qint64(config.input.width) * config.input.height > maximumPixelCount)
        return std::nullopt;
    const bool alpha = config.input.has_alpha;
    // libwebp writes straight into the picture's own rows: no second copy of a large photo.
    QImage image(config.input.width, config.input.height, alpha ? QImage::Format_RGBA8888 : QImage::Format_RGB888);
    if (image.isNull())
        return std::nullopt;
    config.output.colorspace = alpha ? MODE_RGBA : MODE_RGB;
    config.output.is_external_memory = 1;
    config.output.u.RGBA.rgba = image.bits();
    config.output.u.RGBA.stride = int(image.bytesPerLine());
    config.output.u.RGBA.size = size_t(image.sizeInBytes());
    config.options.use_threads = 0; // a file per core already
    const VP8StatusCode status = WebPDecode(data, size_t(bytes.size()), &config);
    WebPFreeDecBuffer(&config.output);
    if (status != VP8_STATUS_OK)
        return std::nullopt;
    const Demuxer demuxer = demux(bytes);
    if (!demuxer)
        return Decoded{std::move(image), {}, QImageIOHandler::TransformationNone};
    return Decoded{std::move(image), chunk(demuxer.get(), "ICCP"), exifOrientation(chunk(demuxer.get(), "EXIF"))};
}

} // namespace pressel
