// SPDX-License-Identifier: GPL-3.0-or-later
#include "EncoderTable.h"

#include "AVIFOutputEncoder.h"
#include "JPEGEncoder.h"
#include "JPEGTranEncoder.h"
#include "PNGEncoder.h"
#include "PNGLosslessEncoder.h"
#include "WebPOutputEncoder.h"

namespace pressel {

namespace {

ImageFormat::Kind chosenKind(OutputFormat format)
{
    return CompressionSettings{.outputFormat = format}.outputKind(ImageFormat::Kind::unknown);
}

} // namespace

Expected<const Encoder *> EncoderTable::encoderFor(const ImageFormat &format) const
{
    // A JPEG that stays a JPEG keeps its very coefficients when asked to.
    if (jpegRewrite && format.kind() == ImageFormat::Kind::jpeg &&
        (outputFormat == OutputFormat::keep || outputFormat == OutputFormat::jpeg))
        return jpegRewrite.get();
    if (outputFormat != OutputFormat::keep && format.kind() != ImageFormat::Kind::unknown) {
        switch (chosenKind(outputFormat)) {
        case ImageFormat::Kind::jpeg:
            return jpeg.get();
        case ImageFormat::Kind::webp:
            return webp.get();
        case ImageFormat::Kind::avif:
            return avif.get();
        default:
            Q_UNREACHABLE();
        }
    }
    switch (format.kind()) {
    case ImageFormat::Kind::jpeg:
        return jpeg.get();
    case ImageFormat::Kind::png:
        return png.get();
    case ImageFormat::Kind::heic:
    case ImageFormat::Kind::heif:
        return failure(Failure::heifUnsupported);
    case ImageFormat::Kind::tiff:
        return failure(Failure::tiffUnsupported);
    // Kept as they are, WebP and AVIF are refused like any other format: by the source's
    // extension.
    case ImageFormat::Kind::webp:
    case ImageFormat::Kind::avif:
    case ImageFormat::Kind::unknown:
        break;
    }
    return failure(Failure(Failure::unsupportedFormat, {format.payload()}));
}

ImageFormat EncoderTable::outputFormatFor(const ImageFormat &source) const
{
    const ImageFormat::Kind kind = CompressionSettings{.outputFormat = outputFormat}.outputKind(source.kind());
    if (kind == source.kind() && kind != ImageFormat::Kind::webp && kind != ImageFormat::Kind::avif)
        return source;
    switch (kind) {
    case ImageFormat::Kind::jpeg:
        return ImageFormat::jpeg(QStringLiteral("jpg"));
    case ImageFormat::Kind::webp:
        return ImageFormat::webp();
    case ImageFormat::Kind::avif:
        return ImageFormat::avif();
    default:
        return source;
    }
}

std::shared_ptr<const Encoder> EncoderTable::encoderWriting(ImageFormat::Kind kind, int quality,
                                                            const CompressionSettings &settings,
                                                            const InstallLayout &layout)
{
    switch (kind) {
    case ImageFormat::Kind::jpeg:
        return std::make_shared<FallbackEncoder>(makeJPEGEncoder(layout, quality));
    case ImageFormat::Kind::png:
        if (settings.pngLossless)
            return std::make_shared<PNGLosslessEncoder>(settings.metadata);
        return std::make_shared<FallbackEncoder>(makePNGEncoder(
            layout, QualityRange{settings.pngQualityMinimum, settings.pngQualityMaximum}, settings.metadata));
    case ImageFormat::Kind::webp:
        return std::make_shared<WebPOutputEncoder>(quality);
    case ImageFormat::Kind::avif:
        return std::make_shared<AVIFOutputEncoder>(quality, settings.metadata);
    default:
        return nullptr;
    }
}

EncoderTable EncoderTable::standard(const CompressionSettings &settings, const InstallLayout &layout)
{
    const auto chosen = [&](OutputFormat format, ImageFormat::Kind kind, int quality) {
        return settings.outputFormat == format ? encoderWriting(kind, quality, settings, layout) : nullptr;
    };
    return {
        .jpeg = encoderWriting(ImageFormat::Kind::jpeg, settings.jpegQuality, settings, layout),
        // Lossless JPEG has no in-process encoder behind it: nothing else may write the file.
        .jpegRewrite = settings.jpegLossless ? std::make_shared<ToolEncoder>(makeJPEGTranEncoder(layout, settings.metadata))
                                             : nullptr,
        .png = encoderWriting(ImageFormat::Kind::png, settings.pngQualityMaximum, settings, layout),
        .webp = chosen(OutputFormat::webp, ImageFormat::Kind::webp, settings.webpQuality),
        .avif = chosen(OutputFormat::avif, ImageFormat::Kind::avif, settings.avifQuality),
        .outputFormat = settings.outputFormat,
    };
}

} // namespace pressel
