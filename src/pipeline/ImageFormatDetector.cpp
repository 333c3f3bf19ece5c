// SPDX-License-Identifier: GPL-3.0-or-later
#include "ImageFormatDetector.h"

#include "ContentType.h"
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
    return ImageProfile{
        .sourceURL = url,
        .format = detectFormat(*image, url),
        .source = std::move(source),
    };
}

} // namespace pressel
