// SPDX-License-Identifier: GPL-3.0-or-later
#include "HEIFImageDecoder.h"

#include <QColorSpace>
#include <QPointF>

#include <libheif/heif.h>

#include <climits>
#include <cmath>
#include <memory>

namespace pressel {

namespace {

template<auto release> struct Releaser {
    template<typename T> void operator()(T *object) const { release(object); }
};
using Context = std::unique_ptr<heif_context, Releaser<heif_context_free>>;
using Handle = std::unique_ptr<heif_image_handle, Releaser<heif_image_handle_release>>;
using Image = std::unique_ptr<heif_image, Releaser<heif_image_release>>;
using DecodingOptions = std::unique_ptr<heif_decoding_options, Releaser<heif_decoding_options_free>>;

// libheif pulls the bytes it needs from the device; the file is never read into memory whole.
const heif_reader deviceReader{
    .reader_api_version = 1,
    .get_position = [](void *device) -> int64_t { return static_cast<QIODevice *>(device)->pos(); },
    .read = [](void *data, size_t size, void *device) -> int {
        return static_cast<QIODevice *>(device)->read(static_cast<char *>(data), qint64(size)) == qint64(size) ? 0 : 1;
    },
    .seek = [](int64_t position, void *device) -> int {
        return static_cast<QIODevice *>(device)->seek(position) ? 0 : 1;
    },
    .wait_for_file_size =
        [](int64_t targetSize, void *device) {
            return targetSize <= static_cast<QIODevice *>(device)->size() ? heif_reader_grow_status_size_reached
                                                                          : heif_reader_grow_status_size_beyond_eof;
        },
};

QByteArray rawProfile(const heif_image_handle *handle)
{
    QByteArray profile(qsizetype(heif_image_handle_get_raw_color_profile_size(handle)), Qt::Uninitialized);
    if (profile.isEmpty() || heif_image_handle_get_raw_color_profile(handle, profile.data()).code != heif_error_Ok)
        return {};
    return profile;
}

// An nclx description names primaries and a tone curve instead of carrying a profile. sRGB's
// primaries, unspecified ones and HDR curves are left alone.
QByteArray nclxProfile(const heif_image_handle *handle)
{
    heif_color_profile_nclx *nclx = nullptr;
    const heif_error error = heif_image_handle_get_nclx_color_profile(handle, &nclx);
    // An nclx box with primaries that libheif does not know fails, yet still hands over the
    // profile it had begun to fill: ours to free either way.
    const std::unique_ptr<heif_color_profile_nclx, Releaser<heif_nclx_color_profile_free>> owner(nclx);
    if (error.code != heif_error_Ok || !nclx)
        return {};
    if (nclx->color_primaries == heif_color_primaries_ITU_R_BT_709_5 ||
        nclx->color_primaries == heif_color_primaries_unspecified)
        return {};
    QColorSpace::TransferFunction transfer = QColorSpace::TransferFunction::SRgb;
    switch (nclx->transfer_characteristics) {
    case heif_transfer_characteristic_linear:
        transfer = QColorSpace::TransferFunction::Linear;
        break;
    case heif_transfer_characteristic_ITU_R_BT_2100_0_PQ:
    case heif_transfer_characteristic_ITU_R_BT_2100_0_HLG:
    case heif_transfer_characteristic_SMPTE_ST_428_1:
        return {};
    default:
        break; // the SDR curves are all close to sRGB's
    }
    const QColorSpace space(QPointF(nclx->color_primary_white_x, nclx->color_primary_white_y),
                            QPointF(nclx->color_primary_red_x, nclx->color_primary_red_y),
                            QPointF(nclx->color_primary_green_x, nclx->color_primary_green_y),
                            QPointF(nclx->color_primary_blue_x, nclx->color_primary_blue_y), transfer);
    return space.isValid() ? space.iccProfile() : QByteArray();
}

QByteArray colorProfile(const heif_image_handle *handle)
{
    switch (heif_image_handle_get_color_profile_type(handle)) {
    case heif_color_profile_type_prof:
    case heif_color_profile_type_rICC:
        return rawProfile(handle);
    case heif_color_profile_type_nclx:
        return nclxProfile(handle);
    default:
        return {};
    }
}

// The primary image of the file on `device`, its container parsed and no pixel decoded. The
// context owns what the handle refers to.
Handle primaryImage(QIODevice &device, const Context &context, qint64 maximumPixelCount)
{
    if (!context || !device.seek(0))
        return nullptr;
    // libheif's limit is on each side: an item (a grid's canvas too) with a longer one is refused
    // before anything is allocated for its pixels. The side of the budget's square keeps every
    // canvas within the budget: a grid's canvas is allocated at the size its grid box says,
    // which nothing holds to the primary image's size that the budget is checked on. Panoramas
    // more than 16384 pixels long are refused with it.
    heif_context_set_maximum_image_size_limit(context.get(),
                                              int(std::min<qint64>(std::sqrt(double(maximumPixelCount)), INT_MAX)));
    // Grid tiles are decoded on the calling thread: the batch already runs a file per core.
    heif_context_set_max_decoding_threads(context.get(), 0);
    if (heif_context_read_from_reader(context.get(), &deviceReader, &device, nullptr).code != heif_error_Ok)
        return nullptr;
    heif_image_handle *rawHandle = nullptr;
    if (heif_context_get_primary_image_handle(context.get(), &rawHandle).code != heif_error_Ok)
        return nullptr;
    return Handle(rawHandle);
}

} // namespace

std::optional<QSize> HEIFImageDecoder::uprightSize(QIODevice &device, qint64 maximumPixelCount)
{
    const Context context(heif_context_alloc());
    const Handle handle = primaryImage(device, context, maximumPixelCount);
    if (!handle)
        return std::nullopt;
    const QSize size(heif_image_handle_get_width(handle.get()), heif_image_handle_get_height(handle.get()));
    return size.isEmpty() ? std::nullopt : std::optional(size);
}

std::optional<HEIFImageDecoder::Decoded> HEIFImageDecoder::decode(QIODevice &device, qint64 maximumPixelCount)
{
    const Context context(heif_context_alloc());
    const Handle handle = primaryImage(device, context, maximumPixelCount);
    if (!handle)
        return std::nullopt;

    // The handle's size is the upright one (rotation and mirroring applied), known from the
    // header alone.
    const qint64 width = heif_image_handle_get_width(handle.get());
    const qint64 height = heif_image_handle_get_height(handle.get());
    if (width <= 0 || height <= 0 || width * height > maximumPixelCount)
        return std::nullopt;

    const bool hasAlpha = heif_image_handle_has_alpha_channel(handle.get());
    const bool premultiplied = hasAlpha && heif_image_handle_is_premultiplied_alpha(handle.get());
    const DecodingOptions options(heif_decoding_options_alloc());
    options->convert_hdr_to_8bit = 1;
    heif_image *rawImage = nullptr;
    const heif_chroma chroma = hasAlpha ? heif_chroma_interleaved_RGBA : heif_chroma_interleaved_RGB;
    if (heif_decode_image(handle.get(), &rawImage, heif_colorspace_RGB, chroma, options.get()).code != heif_error_Ok)
        return std::nullopt;
    Image image(rawImage);

    int stride = 0;
    uint8_t *pixels = heif_image_get_plane(image.get(), heif_channel_interleaved, &stride);
    const int decodedWidth = heif_image_get_width(image.get(), heif_channel_interleaved);
    const int decodedHeight = heif_image_get_height(image.get(), heif_channel_interleaved);
    // A coded picture of another size than its boxes say would slip past the pixel budget and
    // break the promise of the header's size.
    if (!pixels || decodedWidth != width || decodedHeight != height ||
        heif_image_get_bits_per_pixel_range(image.get(), heif_channel_interleaved) != 8)
        return std::nullopt;

    const QImage::Format format = !hasAlpha       ? QImage::Format_RGB888
                                  : premultiplied ? QImage::Format_RGBA8888_Premultiplied
                                                  : QImage::Format_RGBA8888;
    // The QImage borrows libheif's pixels and releases them with itself: no copy of a large photo.
    QImage wrapped(
        pixels, decodedWidth, decodedHeight, stride, format,
        [](void *owned) { heif_image_release(static_cast<heif_image *>(owned)); }, image.get());
    if (wrapped.isNull())
        return std::nullopt;
    image.release();
    return Decoded{std::move(wrapped), colorProfile(handle.get())};
}

} // namespace pressel
