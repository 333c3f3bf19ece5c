// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "ImageFormat.h"

#include <QByteArray>
#include <QIODevice>
#include <QImage>
#include <QRect>
#include <QSize>
#include <QString>
#include <QUrl>

#include <memory>
#include <optional>

namespace pressel {

// The image operations the pipeline needs: open a file as an image source, report its
// container type, decode its first image, write one image as JPEG or PNG, and render an image
// as 8-bit sRGB premultiplied RGBA. A null/absent result is the only failure signal.

// The alpha layout of a decoded image: none, alpha after the colour samples (premultiplied or
// not), or a 32- or 64-bit pixel whose fourth sample is unused.
enum class AlphaInfo {
    none,
    premultipliedLast,
    last,
    noneSkipLast,
};

// A decoded first image: its pixels upright (any EXIF orientation applied) and in sRGB (an
// embedded profile already applied), untagged and without the source's metadata (EXIF, GPS,
// comments, text chunks), so that nothing of it reaches an output.
struct DecodedImage {
    QImage image;
    AlphaInfo alphaInfo = AlphaInfo::none;
    // The source described its colours with an ICC profile other than sRGB, which the pixels
    // were brought from.
    bool fromOtherProfile = false;
    // Data was missing or corrupt; the decoder filled in what it lacked.
    bool damaged = false;

    qint64 width() const { return image.width(); }
    qint64 height() const { return image.height(); }
};

// A part of a picture as a viewer asks for it: `rect` in the upright picture's pixels, delivered
// at `size` pixels (the same size for full resolution, smaller to scale down).
struct ImageRegion {
    QRect rect;
    QSize size;
};

// An image file opened for reading. Only regular files in a container that we decode open;
// folders, FIFOs and devices never do, and opening never blocks.
class ImageSource
{
public:
    // Empty, unreadable and non-regular files give no source, nor does a path holding U+FFFD,
    // the mark of a name that was not UTF-8.
    static std::optional<ImageSource> create(const QUrl &url);
    // The picture held in `bytes`, as a file opened once hands them on; absent when empty.
    static std::optional<ImageSource> fromBytes(QByteArray bytes);

    // The largest picture that decodes, in pixels (16384 x 16384, so photos of a few hundred
    // megapixels). Larger ones are refused from their header, before any pixel memory is taken.
    static constexpr qint64 maximumPixelCount = qint64(16384) * 16384;

    // The kind the file's first bytes tell; unknown for containers the pipeline neither
    // compresses nor converts, and for bytes of no container we know (see isPicture()).
    ImageFormat::Kind kind() const;
    // Whether the bytes are of a container we decode.
    bool isPicture() const;

    // The first image's width times height as its header states it, read without decoding (an
    // HEIF's primary image from its boxes); absent when the header does not say.
    std::optional<qint64> pixelCountFromHeader() const;

    // Whether the picture's claimed size can be true of a file this long. Even a picture of one
    // flat colour takes some bytes per block or row; a header that claims far more pixels than
    // the file could hold is refused before a decoder spends memory and time on it. True where
    // the header says nothing.
    bool claimsPlausibleSize() const;
    // Damage seen without decoding: a PNG cut off or failing a chunk's checksum. A JPEG's shows
    // when it is decoded (DecodedImage::damaged).
    bool hasDamagedStructure() const;

    // Whether the file is an animation (an animated WebP, an APNG, an AVIF or HEIF image
    // sequence), read from its header alone. Such a file is never compressed: its first frame
    // is not the picture a person sees.
    bool isAnimated() const;

    // Whether a PNG embeds an ICC profile other than sRGB, read from its chunks alone.
    bool hasForeignProfileChunk() const;

    // The first image, decoded; absent when it cannot be decoded, belongs to an animation or
    // would need more memory than a photo of the largest size we accept.
    std::optional<DecodedImage> createImageAtIndex0() const;

    // The first image like createImageAtIndex0(), its longest side brought down to
    // `longestSide` when it is longer, never up. A JPEG decodes at the smallest DCT scale that
    // keeps at least that side; then the picture is resampled in linear light (resampled()).
    std::optional<DecodedImage> createImageAtIndex0(int longestSide) const;

    // The first image's size upright, from its header where the container allows; absent for
    // pictures that do not decode or are larger than we accept.
    std::optional<QSize> uprightSize() const;

    // A part of the first image, upright and in sRGB like createImageAtIndex0(). JPEG decodes
    // only that part (the reader's clip rectangle) and at a reduced resolution when scaled down
    // (the reader's scaled decode), so a viewer never holds a huge photo whole; other
    // containers decode whole first. The rect is clipped to the picture; absent when nothing of
    // it is left or the picture does not decode.
    std::optional<DecodedImage> createImageAtIndex0(const ImageRegion &region) const;

private:
    struct Private;
    explicit ImageSource(std::shared_ptr<const Private> d)
        : d(std::move(d))
    {}
    std::shared_ptr<const Private> d;
};

// Writes `image` as one picture of the kind (JPEG or PNG) to `device`, in sRGB and without
// metadata; quality from 0 to 100 applies to JPEG only, and JPEG lays transparency over white.
// False when a byte could not be written: the device then holds no whole picture.
bool writeImage(const DecodedImage &image, ImageFormat::Kind kind, QIODevice &device,
                std::optional<int> quality = std::nullopt);

// The image as 8-bit sRGB RGBA with premultiplied alpha, top row first, rows of exactly
// width * 4 bytes (QImage::Format_RGBA8888_Premultiplied). Absent when it cannot be set up.
std::optional<QImage> renderSRGBPremultipliedRGBA(const DecodedImage &image);

} // namespace pressel
