// SPDX-License-Identifier: GPL-3.0-or-later
#include "ImageFormatDetector.h"

#include "ImageCodec.h"

#include <QFileInfo>

#include <memory>

namespace pressel {

namespace {

QString lowercasedPathExtension(const QUrl &url)
{
    const QString name = QFileInfo(url.toLocalFile()).fileName();
    const qsizetype dot = name.lastIndexOf(u'.');
    return dot > 0 ? name.mid(dot + 1).toLower() : QString();
}

// What the first bytes tell decides, never the name: a PNG named .jpg is a PNG.
ImageFormat detectFormat(const ImageSource &source, const QUrl &url)
{
    const QString extension = lowercasedPathExtension(url);
    switch (source.kind()) {
    case ImageFormat::Kind::jpeg:
        return ImageFormat::jpeg(extension == u"jpeg" ? QStringLiteral("jpeg") : QStringLiteral("jpg"));
    case ImageFormat::Kind::png:
        return ImageFormat::png();
    case ImageFormat::Kind::heic:
        return ImageFormat::heic();
    case ImageFormat::Kind::heif:
        return ImageFormat::heif();
    case ImageFormat::Kind::tiff:
        return ImageFormat::tiff();
    case ImageFormat::Kind::webp:
        return ImageFormat::webp(extension);
    case ImageFormat::Kind::avif:
        return ImageFormat::avif(extension);
    case ImageFormat::Kind::unknown:
        break;
    }
    return ImageFormat::unknown(extension);
}

} // namespace

Expected<ImageProfile> ImageFormatDetector::detect(const QUrl &url) const
{
    auto file = SourceFile::open(url);
    if (!file)
        return failure(file.error());
    auto source = std::make_shared<SourceFile>(std::move(*file));
    const auto image = ImageSource::fromBytes(source->bytes());
    if (!image)
        return failure(Failure(Failure::readFailed));
    const ImageFormat format = detectFormat(*image, url);
    return ImageProfile{
        .sourceURL = url,
        .format = format,
        .source = std::move(source),
        .outputFormat = format,
        .picture = nullptr,
    };
}

} // namespace pressel
