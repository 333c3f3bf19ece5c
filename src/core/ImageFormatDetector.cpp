// SPDX-License-Identifier: GPL-3.0-or-later
#include "ImageFormatDetector.h"
#include "CompressionMessage.h"

#include "ContentType.h"
#include "ImageCodec.h"

#include <QFileInfo>

namespace pressel {

namespace {

QString lowercasedPathExtension(const QUrl &url)
{
    const QString name = QFileInfo(url.toLocalFile()).fileName();
    const qsizetype dot = name.lastIndexOf(u'.');
    return dot > 0 ? name.mid(dot + 1).toLower() : QString();
}

ImageFormat classifyFormat(const ContentType &type, const QString &extension)
{
    if (type.conforms(ContentType::jpeg()))
        return ImageFormat::jpeg(extension == u"jpeg" ? QStringLiteral("jpeg") : QStringLiteral("jpg"));
    if (type.conforms(ContentType::png()))
        return ImageFormat::png();
    if (type == ContentType::heic())
        return ImageFormat::heic();
    if (type == ContentType::heif())
        return ImageFormat::heif();
    if (type.conforms(ContentType::tiff()))
        return ImageFormat::tiff();
    return ImageFormat::unknown(extension);
}

ImageFormat detectFormat(const ImageSource &source, const QUrl &url)
{
    const QString extension = lowercasedPathExtension(url);
    if (const auto type = ContentType::fromIdentifier(source.typeIdentifier()))
        return classifyFormat(*type, extension);
    return ImageFormat::unknown(extension);
}

bool hasAlpha(AlphaInfo alphaInfo)
{
    switch (alphaInfo) {
    case AlphaInfo::none:
    case AlphaInfo::noneSkipLast:
        return false;
    default:
        return true;
    }
}

} // namespace

Expected<ImageProfile> ImageFormatDetector::detect(const QUrl &url) const
{
    const auto source = ImageSource::create(url);
    if (!source)
        return failure(CompressionPipelineError::readFailed());
    auto decoded = source->createImageAtIndex0();
    if (!decoded)
        return failure(CompressionPipelineError::imageDecodeFailed());
    auto image = std::make_shared<const DecodedImage>(std::move(*decoded));

    const ImageFormat format = detectFormat(*source, url);

    const QFileInfo info(url.toLocalFile());
    if (!info.exists())
        return failure(
            CompressionError::other(CompressionMessage::text(CompressionMessage::fileMissing, {info.fileName()})));

    return ImageProfile{
        .sourceURL = url,
        .format = format,
        .fileSize = info.isFile() ? info.size() : 0,
        .pixelSize = QSizeF(double(image->width()), double(image->height())),
        .hasAlpha = hasAlpha(image->alphaInfo),
        .image = std::move(image),
    };
}

} // namespace pressel
