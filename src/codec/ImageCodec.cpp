// SPDX-License-Identifier: GPL-3.0-or-later
#include "ImageCodec.h"

#include "HEIFImageDecoder.h"
#include "ImageContainer.h"
#include "ImageResampling.h"
#include "JPEGDecoder.h"
#include "JPEGPreviewDecoder.h"
#include "PNGChunkCheck.h"
#include "SRGBConversion.h"
#include "TIFFDecoder.h"
#include "WebPImageDecoder.h"

#include <QBuffer>
#include <QColorSpace>
#include <QFile>
#include <QImageIOHandler>
#include <QImageReader>
#include <QImageWriter>
#include <QPainter>
#include <QTransform>
#include <QtEndian>

#include <algorithm>
#include <cmath>
#include <mutex>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace pressel {

namespace {

// Qt's own guard against huge allocations, raised so that the largest accepted picture fits
// even at 16 bits per channel. Pictures are normally refused earlier, from their header.
constexpr int allocationLimitMiB = int(ImageSource::maximumPixelCount * 8 / (1024 * 1024));

void raiseAllocationLimitOnce()
{
    static std::once_flag once;
    std::call_once(once, [] { QImageReader::setAllocationLimit(allocationLimitMiB); });
}

// Opens a regular, non-empty file for reading. The descriptor is opened without blocking and
// checked before anything is read from it, so a FIFO, a device or a folder is refused at once
// and a file swapped for one of them after a check cannot block us either.
bool openRegularFile(const QString &path, QFile &file)
{
    const QByteArray encoded = QFile::encodeName(path);
    const int descriptor = ::open(encoded.constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (descriptor < 0)
        return false;
    struct stat status {
    };
    if (::fstat(descriptor, &status) != 0 || !S_ISREG(status.st_mode) || status.st_size <= 0 ||
        !file.open(descriptor, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
        ::close(descriptor);
        return false;
    }
    return true;
}

QImage applyTransformation(const QImage &image, QImageIOHandler::Transformations transformation)
{
    if (transformation == QImageIOHandler::TransformationNone)
        return image;
    if (transformation == QImageIOHandler::TransformationRotate270)
        return image.transformed(QTransform().rotate(270));
    QImage result = image.mirrored(transformation.testFlag(QImageIOHandler::TransformationMirror),
                                   transformation.testFlag(QImageIOHandler::TransformationFlip));
    if (transformation.testFlag(QImageIOHandler::TransformationRotate90))
        result = result.transformed(QTransform().rotate(90));
    return result;
}

// The pixels of `image` under a QImage of their own that carries no text, colour space or other
// metadata of the source; Qt's writers copy text into comments and text chunks. The pixel
// buffer is shared, not copied.
QImage withoutMetadata(QImage image)
{
    if (image.isNull() || (image.textKeys().isEmpty() && !image.colorSpace().isValid()))
        return image;
    auto *owner = new QImage(std::move(image));
    const QImage &source = *owner;
    const auto release = [](void *held) {
        delete static_cast<QImage *>(held);
    };
    // A buffer that nothing else shares stays writable, so later in-place work copies nothing.
    QImage bare = owner->isDetached() ? QImage(owner->bits(), source.width(), source.height(), source.bytesPerLine(),
                                               source.format(), release, owner)
                                      : QImage(source.constBits(), source.width(), source.height(),
                                               source.bytesPerLine(), source.format(), release, owner);
    if (source.format() == QImage::Format_Indexed8 || source.format() == QImage::Format_Mono ||
        source.format() == QImage::Format_MonoLSB)
        bare.setColorTable(source.colorTable());
    return bare;
}

// A profile counts only where Qt's colour management reads it too, so that the parts a viewer
// decodes through Qt show the colours libjpeg's decodes of the same file show.
QByteArray profileQtReads(const QByteArray &iccProfile)
{
    return iccProfile.isEmpty() || QColorSpace::fromIccProfile(iccProfile).isValid() ? iccProfile : QByteArray();
}

// Puts pixels described by `iccProfile` into sRGB; a profile that cannot be applied leaves
// them as they are, which is what a viewer without colour management shows. Returns whether
// the profile was one other than sRGB.
bool convertProfiledToSRGB(QImage &image, const QByteArray &iccProfile)
{
    if (iccProfile.isEmpty() || isSRGBProfile(iccProfile))
        return false;
    convertToSRGB(image, iccProfile);
    return true;
}

// A decoded image made ready for every consumer: sRGB, untagged, without metadata.
QImage inSRGBWithoutMetadata(const QImage &image)
{
    const QColorSpace space = image.colorSpace();
    if (!space.isValid() || space == QColorSpace(QColorSpace::SRgb))
        return withoutMetadata(image);
    QImage converted = image.copy();
    convertProfiledToSRGB(converted, space.iccProfile());
    return withoutMetadata(std::move(converted));
}

// Maps the stored picture's pixels to the upright one's, the way Qt applies a transformation:
// mirror and flip first, then a quarter turn clockwise.
QTransform uprightTransform(const QSize &stored, QImageIOHandler::Transformations transformation)
{
    QTransform transform;
    if (transformation.testFlag(QImageIOHandler::TransformationRotate90))
        transform = QTransform(0, 1, -1, 0, stored.height(), 0);
    if (transformation.testFlag(QImageIOHandler::TransformationMirror))
        transform = QTransform(-1, 0, 0, 1, stored.width(), 0) * transform;
    if (transformation.testFlag(QImageIOHandler::TransformationFlip))
        transform = QTransform(1, 0, 0, -1, 0, stored.height()) * transform;
    return transform;
}

// `image` cut to `rect` and brought to `size`; smooth when scaling down, as a viewer's fit is.
QImage croppedAndScaled(const QImage &image, const QRect &rect, const QSize &size)
{
    QImage result = rect == image.rect() ? image : image.copy(rect);
    if (result.size() != size)
        result = result.scaled(size, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    return result;
}

// A PNG's embedded ICC profile, inflated; empty when it has none. Qt gives a PNG described by its
// gamma alone a colour space too; only an embedded profile counts as the source's own. Only the
// chunks before the image data are looked at; no pixel is read.
QByteArray iccProfileChunk(QIODevice &file)
{
    if (!file.seek(8))
        return {};
    for (;;) {
        const QByteArray header = file.read(8);
        if (header.size() != 8)
            return {};
        const quint32 length = qFromBigEndian<quint32>(header.constData());
        const QByteArrayView type = QByteArrayView(header).sliced(4);
        if (type == "IDAT" || type == "IEND")
            return {};
        if (type == "iCCP") {
            // A name of 1 to 79 bytes, its NUL, the method byte, then a zlib stream; qUncompress
            // wants the inflated length first, which it takes as a hint only.
            const QByteArray data = file.read(std::min<quint32>(length, 16 * 1024 * 1024));
            const qsizetype nul = data.indexOf('\0');
            if (nul < 1 || nul + 2 > data.size())
                return {};
            QByteArray stream(4, '\0');
            qToBigEndian<quint32>(quint32(std::min<qsizetype>(data.size() * 4, 16 * 1024 * 1024)), stream.data());
            return qUncompress(stream + data.sliced(nul + 2));
        }
        if (!file.seek(file.pos() + qint64(length) + 4))
            return {};
    }
}

// Pixels as a decoder delivers them, upright and in sRGB, and whether they came from a profile
// other than sRGB.
struct Picture {
    QImage image;
    bool fromOtherProfile = false;
    bool damaged = false;
};

AlphaInfo alphaInfoOf(const QImage &image)
{
    if (image.hasAlphaChannel())
        return image.pixelFormat().premultiplied() == QPixelFormat::Premultiplied ? AlphaInfo::premultipliedLast
                                                                                  : AlphaInfo::last;
    return image.depth() == 32 || image.depth() == 64 ? AlphaInfo::noneSkipLast : AlphaInfo::none;
}

} // namespace

struct ImageSource::Private {
    QByteArray bytes;       // the whole file, when it came as bytes
    mutable QBuffer buffer; // reads `bytes`
    mutable QFile file;

    QIODevice &device() const { return bytes.isEmpty() ? static_cast<QIODevice &>(file) : buffer; }
    ImageContainer container;

    // The whole file, for decoders that parse from memory.
    QByteArray allBytes() const;
    std::optional<WebPImageDecoder::Header> webpHeader() const;

    std::optional<Picture> decodeWithQt() const;
    std::optional<Picture> decodeWebP() const;
    std::optional<Picture> decodeTIFFCMYK() const;
    std::optional<Picture> decodeJPEG(JPEGDecoder::Kind kind, int keptLongestSide = 0) const;
    std::optional<DecodedImage> decode(int keptLongestSide) const;
    std::optional<QImage> decodeRegionWithQt(const ImageRegion &region) const;
    JPEGDecoder::Kind jpegKind() const;
    bool isCMYKTIFF() const;
    bool isAnimated() const;
};

std::optional<ImageSource> ImageSource::create(const QUrl &url)
{
    raiseAllocationLimitOnce();
    if (!url.isLocalFile())
        return std::nullopt;
    // A file name whose bytes are not UTF-8 reaches us with U+FFFD in their place, and the path
    // so made names another file, or none. Reading that one would compress the wrong picture.
    const QString path = url.toLocalFile();
    if (path.contains(QChar::ReplacementCharacter))
        return std::nullopt;
    auto d = std::make_shared<Private>();
    if (!openRegularFile(path, d->file))
        return std::nullopt;
    d->container = ImageContainer::sniff(d->file.read(ImageContainer::headerLength));
    return ImageSource(std::move(d));
}

std::optional<ImageSource> ImageSource::fromBytes(QByteArray bytes)
{
    raiseAllocationLimitOnce();
    if (bytes.isEmpty())
        return std::nullopt;
    auto d = std::make_shared<Private>();
    d->bytes = std::move(bytes);
    d->buffer.setData(d->bytes);
    if (!d->buffer.open(QIODevice::ReadOnly))
        return std::nullopt;
    d->container = ImageContainer::sniff(d->bytes.first(std::min(d->bytes.size(), ImageContainer::headerLength)));
    return ImageSource(std::move(d));
}

bool ImageSource::hasForeignProfileChunk() const
{
    if (d->container.qtFormat != "png")
        return false;
    const QByteArray profile = iccProfileChunk(d->device());
    return !profile.isEmpty() && !isSRGBProfile(profile);
}

bool ImageSource::claimsPlausibleSize() const
{
    // Pixels a byte can stand for at the most, with room to spare: a progressive JPEG of one
    // flat colour spends about a bit on each 8x8 block's DC term; deflate packs at most 1032
    // bytes into one, a byte of a 1-bit PNG row holding 8 pixels; a lossy WebP codes each 16x16
    // macroblock's modes with fixed probabilities, a bit or two at the least (libwebp spends a
    // byte on 560 pixels of one flat colour). A lossless WebP, an HEIF or a TIFF can code a flat
    // picture of any size in a few bytes: only the pixel budget bounds those.
    qint64 pixelsPerByte = 0;
    if (d->container.qtFormat == "jpeg")
        pixelsPerByte = 2048;
    else if (d->container.qtFormat == "png")
        pixelsPerByte = 16384;
    else if (const auto webp = d->container.decoder == ImageContainer::Decoder::webp ? d->webpHeader() : std::nullopt;
             webp && !webp->lossless && !webp->animated)
        pixelsPerByte = 2048;
    const std::optional<qint64> pixels = pixelsPerByte ? pixelCountFromHeader() : std::nullopt;
    return !pixels || *pixels <= d->device().size() * pixelsPerByte;
}

bool ImageSource::hasDamagedStructure() const
{
    return d->container.qtFormat == "png" && !PNGChunkCheck::isIntact(d->device());
}

ImageFormat::Kind ImageSource::kind() const
{
    return d->container.kind;
}

bool ImageSource::isPicture() const
{
    return d->container.decoder != ImageContainer::Decoder::none;
}

bool ImageSource::isAnimated() const
{
    return d->isAnimated();
}

bool ImageSource::Private::isAnimated() const
{
    if (container.sequence)
        return true;
    if (container.qtFormat == "png")
        return PNGChunkCheck::isAnimated(device());
    const auto webp = container.decoder == ImageContainer::Decoder::webp ? webpHeader() : std::nullopt;
    return webp && webp->animated;
}

QByteArray ImageSource::Private::allBytes() const
{
    if (!bytes.isEmpty())
        return bytes;
    return file.seek(0) ? file.readAll() : QByteArray();
}

std::optional<WebPImageDecoder::Header> ImageSource::Private::webpHeader() const
{
    // The whole file: the EXIF chunk that says how the picture stands follows its pixels.
    return WebPImageDecoder::header(allBytes());
}

std::optional<qint64> ImageSource::pixelCountFromHeader() const
{
    std::optional<QSize> headerSize;
    if (d->container.decoder == ImageContainer::Decoder::webp) {
        if (const auto header = d->webpHeader())
            headerSize = header->uprightSize;
    } else if (d->container.decoder == ImageContainer::Decoder::heif) {
        headerSize = HEIFImageDecoder::uprightSize(d->device(), maximumPixelCount);
    }
    if (headerSize)
        return qint64(headerSize->width()) * headerSize->height();
    if (d->container.decoder != ImageContainer::Decoder::qt || !d->device().seek(0))
        return std::nullopt;
    QImageReader reader(&d->device(), d->container.qtFormat);
    reader.setDecideFormatFromContent(false);
    const QSize size = reader.size();
    if (!size.isValid())
        return std::nullopt;
    return qint64(size.width()) * size.height();
}

std::optional<Picture> ImageSource::Private::decodeWithQt() const
{
    if (!device().seek(0))
        return std::nullopt;
    QImageReader reader(&device(), container.qtFormat);
    reader.setDecideFormatFromContent(false);
    reader.setAutoTransform(true);
    const QSize size = reader.size();
    if (size.isValid() && qint64(size.width()) * size.height() > maximumPixelCount)
        return std::nullopt;
    Picture picture{reader.read()};
    if (picture.image.isNull())
        return std::nullopt;
    const QColorSpace space = picture.image.colorSpace();
    if (space.isValid()) {
        const bool converted = convertProfiledToSRGB(picture.image, space.iccProfile());
        picture.fromOtherProfile = converted && (container.qtFormat != "png" || !iccProfileChunk(device()).isEmpty());
        picture.image.setColorSpace(QColorSpace()); // the pixels are sRGB now, or as good as it gets
    }
    return picture;
}

std::optional<Picture> ImageSource::Private::decodeJPEG(JPEGDecoder::Kind kind, int keptLongestSide) const
{
    if (!device().seek(0))
        return std::nullopt;
    auto decoded = JPEGDecoder::decode(device(), maximumPixelCount, keptLongestSide);
    if (!decoded || !device().seek(0))
        return std::nullopt;
    const bool converted = convertProfiledToSRGB(decoded->image, profileQtReads(decoded->iccProfile));
    QImageReader orientation(&device(), "jpeg");
    return Picture{applyTransformation(decoded->image, orientation.transformation()),
                   converted || kind == JPEGDecoder::Kind::profiledCMYK, decoded->damaged};
}

std::optional<Picture> ImageSource::Private::decodeWebP() const
{
    auto decoded = WebPImageDecoder::decode(allBytes(), maximumPixelCount);
    if (!decoded)
        return std::nullopt;
    const bool converted = convertProfiledToSRGB(decoded->image, decoded->iccProfile);
    return Picture{applyTransformation(decoded->image, decoded->transformation), converted};
}

std::optional<Picture> ImageSource::Private::decodeTIFFCMYK() const
{
    auto decoded = TIFFDecoder::decode(device(), maximumPixelCount);
    if (!decoded || !device().seek(0))
        return std::nullopt;
    QImageReader orientation(&device(), "tiff");
    return Picture{applyTransformation(decoded->image, orientation.transformation()), decoded->fromProfile};
}

JPEGDecoder::Kind ImageSource::Private::jpegKind() const
{
    if (container.qtFormat != "jpeg" || !device().seek(0))
        return JPEGDecoder::Kind::other;
    return JPEGDecoder::kindOf(device());
}

bool ImageSource::Private::isCMYKTIFF() const
{
    return container.qtFormat == "tiff" && TIFFDecoder::isCMYK(device());
}

std::optional<QImage> ImageSource::Private::decodeRegionWithQt(const ImageRegion &region) const
{
    if (!device().seek(0))
        return std::nullopt;
    QImageReader reader(&device(), container.qtFormat);
    reader.setDecideFormatFromContent(false);
    reader.setAutoTransform(true);
    const QSize stored = reader.size();
    if (!stored.isValid() || qint64(stored.width()) * stored.height() > maximumPixelCount)
        return std::nullopt;
    // The reader clips and scales the stored pixels and turns them upright afterwards.
    const QImageIOHandler::Transformations transformation = reader.transformation();
    const QTransform toStored = uprightTransform(stored, transformation).inverted();
    const QRect storedRect = toStored.mapRect(QRectF(region.rect)).toAlignedRect() & QRect(QPoint(), stored);
    const QSize storedSize =
        transformation.testFlag(QImageIOHandler::TransformationRotate90) ? region.size.transposed() : region.size;
    // An eighth or less of a JPEG comes from its DC coefficients alone, which a progressive
    // file (every output of ours) stores first: a huge photo at fit is read only that far.
    if (container.qtFormat == "jpeg" && storedSize.width() * 8 <= storedRect.width() &&
        storedSize.height() * 8 <= storedRect.height() && device().seek(0)) {
        if (auto preview = JPEGPreviewDecoder::decode(device(), maximumPixelCount)) {
            const QRect eighth =
                QRectF(storedRect.x() / 8.0, storedRect.y() / 8.0, storedRect.width() / 8.0, storedRect.height() / 8.0)
                    .toAlignedRect() &
                preview->image.rect();
            QImage image = applyTransformation(croppedAndScaled(preview->image, eighth, storedSize), transformation);
            if (image.size() != region.size)
                image = croppedAndScaled(image, image.rect(), region.size);
            convertProfiledToSRGB(image, profileQtReads(preview->iccProfile));
            return image;
        }
    }
    if (storedRect != QRect(QPoint(), stored))
        reader.setClipRect(storedRect);
    if (storedSize != storedRect.size())
        reader.setScaledSize(storedSize);
    QImage image = reader.read();
    if (image.isNull())
        return std::nullopt;
    if (image.size() != region.size)
        image = croppedAndScaled(image, image.rect(), region.size);
    const QColorSpace space = image.colorSpace();
    if (space.isValid()) {
        convertProfiledToSRGB(image, space.iccProfile());
        image.setColorSpace(QColorSpace());
    }
    return image;
}

std::optional<QSize> ImageSource::uprightSize() const
{
    if (d->container.decoder != ImageContainer::Decoder::qt) {
        const std::optional<qint64> pixels = pixelCountFromHeader();
        if (pixels && *pixels > maximumPixelCount)
            return std::nullopt;
        if (d->container.decoder == ImageContainer::Decoder::webp) {
            const auto header = d->webpHeader();
            return header && !header->animated ? std::optional(header->uprightSize) : std::nullopt;
        }
        if (d->container.decoder == ImageContainer::Decoder::heif)
            return HEIFImageDecoder::uprightSize(d->device(), maximumPixelCount);
    }
    if (d->container.decoder == ImageContainer::Decoder::qt && d->device().seek(0)) {
        QImageReader reader(&d->device(), d->container.qtFormat);
        reader.setDecideFormatFromContent(false);
        const QSize stored = reader.size();
        if (stored.isValid() && qint64(stored.width()) * stored.height() <= maximumPixelCount)
            return reader.transformation().testFlag(QImageIOHandler::TransformationRotate90) ? stored.transposed()
                                                                                             : stored;
        if (stored.isValid())
            return std::nullopt;
    }
    // Readers that cannot tell the size from the header: the picture itself says it.
    const auto image = createImageAtIndex0();
    return image ? std::optional(image->image.size()) : std::nullopt;
}

std::optional<DecodedImage> ImageSource::createImageAtIndex0(const ImageRegion &region) const
{
    if (region.rect.isEmpty() || region.size.isEmpty())
        return std::nullopt;
    const bool decodesParts = d->container.decoder == ImageContainer::Decoder::qt &&
                              d->jpegKind() != JPEGDecoder::Kind::profiledCMYK && !d->isCMYKTIFF();
    // The whole picture's decode refuses an animation; Qt's reader, asked for a part, would not.
    if (decodesParts && d->isAnimated())
        return std::nullopt;
    const std::optional<DecodedImage> whole = decodesParts ? std::nullopt : createImageAtIndex0();
    const std::optional<QSize> size = decodesParts ? uprightSize()
                                      : whole      ? std::optional(whole->image.size())
                                                   : std::nullopt;
    if (!size)
        return std::nullopt;
    const QRect rect = region.rect & QRect(QPoint(), *size);
    if (rect.isEmpty())
        return std::nullopt;
    // What is left of the rect keeps the asked scale; never more pixels than it holds.
    const double scaleX = double(region.size.width()) / region.rect.width();
    const double scaleY = double(region.size.height()) / region.rect.height();
    const QSize scaled = QSize(std::max(1, int(std::lround(rect.width() * scaleX))),
                               std::max(1, int(std::lround(rect.height() * scaleY))))
                             .boundedTo(rect.size());
    std::optional<QImage> image =
        decodesParts ? d->decodeRegionWithQt({rect, scaled}) : croppedAndScaled(whole->image, rect, scaled);
    if (!image || image->isNull())
        return std::nullopt;
    QImage bare = withoutMetadata(std::move(*image));
    const AlphaInfo alphaInfo = alphaInfoOf(bare);
    return DecodedImage{std::move(bare), alphaInfo};
}

std::optional<DecodedImage> ImageSource::Private::decode(int keptLongestSide) const
{
    // Qt's PNG reader and libheif would hand out an animation's first frame as if it were the
    // picture; no caller may take it for one. libwebp's decoder refuses an animation itself,
    // from the bytes it reads anyway.
    if (container.decoder != ImageContainer::Decoder::webp && isAnimated())
        return std::nullopt;
    std::optional<Picture> picture;
    switch (container.decoder) {
    case ImageContainer::Decoder::none:
        return std::nullopt;
    case ImageContainer::Decoder::heif:
        if (auto decoded = HEIFImageDecoder::decode(device(), maximumPixelCount)) {
            const bool converted = convertProfiledToSRGB(decoded->image, decoded->iccProfile);
            picture = Picture{std::move(decoded->image), converted};
        }
        break;
    case ImageContainer::Decoder::webp:
        picture = decodeWebP();
        break;
    case ImageContainer::Decoder::qt:
        if (const JPEGDecoder::Kind kind = jpegKind(); kind != JPEGDecoder::Kind::other)
            picture = decodeJPEG(kind, keptLongestSide);
        else if (isCMYKTIFF())
            picture = decodeTIFFCMYK();
        else
            picture = decodeWithQt();
        break;
    }
    if (!picture || picture->image.isNull())
        return std::nullopt;
    QImage bare = withoutMetadata(std::move(picture->image));
    const AlphaInfo alphaInfo = alphaInfoOf(bare);
    return DecodedImage{std::move(bare), alphaInfo, picture->fromOtherProfile, picture->damaged};
}

std::optional<DecodedImage> ImageSource::createImageAtIndex0() const
{
    return d->decode(0);
}

std::optional<DecodedImage> ImageSource::createImageAtIndex0(int longestSide) const
{
    std::optional<DecodedImage> decoded = d->decode(longestSide);
    if (!decoded)
        return std::nullopt;
    const QSize size = sizeWithin(decoded->image.size(), longestSide);
    if (size == decoded->image.size())
        return decoded;
    QImage image = resampled(decoded->image, size);
    if (image.isNull())
        return std::nullopt;
    decoded->alphaInfo = alphaInfoOf(image);
    decoded->image = std::move(image);
    return decoded;
}

// JPEG keeps no transparency: what shows through is white, as on a page.
static QImage overWhite(const QImage &image)
{
    if (!image.hasAlphaChannel())
        return image;
    QImage flat(image.size(), QImage::Format_RGB32);
    flat.fill(Qt::white);
    QPainter painter(&flat);
    painter.drawImage(0, 0, image);
    return flat;
}

bool writeImage(const DecodedImage &image, ImageFormat::Kind kind, QIODevice &device, std::optional<int> quality)
{
    const QByteArray format =
        kind == ImageFormat::Kind::jpeg || kind == ImageFormat::Kind::png ? ImageFormat::qtFormat(kind) : QByteArray();
    if (format.isEmpty() || image.image.isNull())
        return false;
    QImageWriter writer(&device, format);
    if (format == "jpeg") {
        writer.setQuality(std::clamp(quality.value_or(75), 0, 100));
        writer.setOptimizedWrite(true);
    } else {
        writer.setQuality(0); // zlib's best compression; PNG stays lossless at any level
    }
    const QImage pixels = inSRGBWithoutMetadata(image.image);
    return writer.write(format == "jpeg" ? overWhite(pixels) : pixels);
}

std::optional<QImage> renderSRGBPremultipliedRGBA(const DecodedImage &image)
{
    QImage rendered = inSRGBWithoutMetadata(image.image).convertToFormat(QImage::Format_RGBA8888_Premultiplied);
    if (rendered.isNull())
        return std::nullopt;
    return rendered;
}

} // namespace pressel
