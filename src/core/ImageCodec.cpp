#include "ImageCodec.h"

#include <QBuffer>
#include <QColorSpace>
#include <QFile>
#include <QFileInfo>
#include <QImageReader>
#include <QImageWriter>
#include <QSaveFile>

#include <cmath>
#include <mutex>

namespace {

// Photos of a few hundred megapixels must decode; headers that claim far more are refused
// before any pixel memory is taken.
constexpr int allocationLimitMiB = 2047;

void raiseAllocationLimitOnce()
{
    static std::once_flag once;
    std::call_once(once, [] { QImageReader::setAllocationLimit(allocationLimitMiB); });
}

struct Container {
    QString typeIdentifier;
    QByteArray qtFormat; // the Qt image plugin that decodes it; empty when none does
};

Container sniff(const QByteArray &head)
{
    const auto startsWith = [&](const char *magic, qsizetype offset = 0) {
        return head.mid(offset).startsWith(QByteArray(magic));
    };
    if (startsWith("\xFF\xD8\xFF"))
        return {QStringLiteral("public.jpeg"), "jpeg"};
    if (startsWith("\x89PNG\r\n\x1A\n"))
        return {QStringLiteral("public.png"), "png"};
    if (startsWith("GIF87a") || startsWith("GIF89a"))
        return {QStringLiteral("com.compuserve.gif"), "gif"};
    if (head.startsWith(QByteArray("II*\0", 4)) || head.startsWith(QByteArray("MM\0*", 4)))
        return {QStringLiteral("public.tiff"), "tiff"};
    if (startsWith("RIFF") && startsWith("WEBP", 8))
        return {QStringLiteral("org.webmproject.webp"), "webp"};
    if (startsWith("BM"))
        return {QStringLiteral("com.microsoft.bmp"), "bmp"};
    if (head.startsWith(QByteArray("\0\0\1\0", 4)))
        return {QStringLiteral("com.microsoft.ico"), "ico"};
    return {};
}

} // namespace

struct ImageSource::Private {
    QString path;
    Container container;
};

std::optional<ImageSource> ImageSource::create(const QUrl &url)
{
    raiseAllocationLimitOnce();
    const QString path = url.toLocalFile();
    const QFileInfo info(path);
    // Only regular files: reading a FIFO or a device could block for ever.
    if (path.isEmpty() || !info.isFile() || !info.isReadable() || info.size() == 0)
        return std::nullopt;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    auto d = std::make_shared<Private>();
    d->path = path;
    d->container = sniff(file.read(64));
    return ImageSource(std::move(d));
}

QString ImageSource::typeIdentifier() const
{
    return d->container.typeIdentifier;
}

std::optional<DecodedImage> ImageSource::createImageAtIndex0() const
{
    if (d->container.qtFormat.isEmpty())
        return std::nullopt;
    QImageReader reader(d->path, d->container.qtFormat);
    reader.setDecideFormatFromContent(false);
    reader.setAutoTransform(true);
    QImage image = reader.read();
    if (image.isNull())
        return std::nullopt;

    AlphaInfo alphaInfo = AlphaInfo::none;
    if (image.hasAlphaChannel()) {
        const bool premultiplied = image.pixelFormat().premultiplied() == QPixelFormat::Premultiplied;
        alphaInfo = premultiplied ? AlphaInfo::premultipliedLast : AlphaInfo::last;
    } else if (image.depth() == 32) {
        alphaInfo = AlphaInfo::noneSkipLast;
    }
    return DecodedImage{std::move(image), alphaInfo};
}

namespace {

// Pixels in sRGB and untagged, as every viewer reads an image without a profile.
QImage toSRGB(const QImage &image)
{
    QImage converted = image;
    const QColorSpace space = converted.colorSpace();
    if (space.isValid() && space != QColorSpace(QColorSpace::SRgb))
        converted.convertToColorSpace(QColorSpace::SRgb);
    converted.setColorSpace(QColorSpace());
    return converted;
}

} // namespace

struct ImageDestination::Private {
    QSaveFile file;
    QByteArray qtFormat;
    std::optional<QImage> image;
    std::optional<double> quality;
};

ImageDestination::ImageDestination(std::unique_ptr<Private> d) : d(std::move(d)) {}
ImageDestination::~ImageDestination() = default;
ImageDestination::ImageDestination(ImageDestination &&) noexcept = default;
ImageDestination &ImageDestination::operator=(ImageDestination &&) noexcept = default;

std::optional<ImageDestination> ImageDestination::create(const QUrl &url, const QString &typeIdentifier)
{
    QByteArray format;
    if (typeIdentifier == u"public.jpeg")
        format = "jpeg";
    else if (typeIdentifier == u"public.png")
        format = "png";
    else
        return std::nullopt;
    auto d = std::make_unique<Private>();
    d->file.setFileName(url.toLocalFile());
    d->qtFormat = format;
    if (!d->file.open(QIODevice::WriteOnly))
        return std::nullopt;
    return ImageDestination(std::move(d));
}

void ImageDestination::addImage(const DecodedImage &image, std::optional<double> lossyCompressionQuality)
{
    d->image = image.image;
    d->quality = lossyCompressionQuality;
}

bool ImageDestination::finalize()
{
    if (!d->image)
        return false;
    QImageWriter writer(&d->file, d->qtFormat);
    if (d->qtFormat == "jpeg") {
        writer.setQuality(int(std::lround(std::clamp(d->quality.value_or(0.75), 0.0, 1.0) * 100.0)));
        writer.setOptimizedWrite(true);
    } else {
        writer.setQuality(0); // PNG: best compression, lossless either way
    }
    if (!writer.write(toSRGB(*d->image))) {
        d->file.cancelWriting();
        return false;
    }
    return d->file.commit();
}

std::optional<QImage> renderSRGBPremultipliedRGBA(const DecodedImage &image)
{
    QImage rendered = toSRGB(image.image).convertToFormat(QImage::Format_RGBA8888_Premultiplied);
    if (rendered.isNull())
        return std::nullopt;
    return rendered;
}
