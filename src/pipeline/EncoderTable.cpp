// SPDX-License-Identifier: GPL-3.0-or-later
#include "EncoderTable.h"

#include "AVIFOutputEncoder.h"
#include "JPEGEncoder.h"
#include "JPEGTranEncoder.h"
#include "PNGEncoder.h"
#include "PNGLosslessEncoder.h"
#include "WebPOutputEncoder.h"

#include <algorithm>

namespace pressel {

namespace {

ImageFormat::Kind chosenKind(OutputFormat format)
{
    return CompressionSettings{.outputFormat = format}.outputKind(ImageFormat::Kind::unknown);
}

} // namespace

Expected<const Encoder *> EncoderTable::encoderFor(const ImageFormat &format, bool resized) const
{
    // A JPEG that stays a JPEG keeps its very coefficients when asked to.
    if (jpegRewrite && !resized && format.kind() == ImageFormat::Kind::jpeg &&
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

QList<ImageFormat::Kind> EncoderTable::sourceKinds(OutputFormat outputFormat)
{
    EncoderTable table;
    table.outputFormat = outputFormat;
    QList<ImageFormat::Kind> kinds;
    for (const ImageFormat &source :
         {ImageFormat::jpeg(QStringLiteral("jpg")), ImageFormat::png(), ImageFormat::heic(), ImageFormat::heif(),
          ImageFormat::tiff(), ImageFormat::webp(), ImageFormat::avif()}) {
        if (table.encoderFor(source))
            kinds.append(source.kind());
    }
    return kinds;
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

const QualityScale *EncoderTable::qualityScaleFor(const ImageFormat &format, bool resized) const
{
    const auto encoder = encoderFor(format, resized);
    // A rewritten JPEG keeps its coefficients: it has no quality to choose.
    if (!encoder || *encoder == jpegRewrite.get())
        return nullptr;
    const auto present = [](const std::optional<QualityScale> &scale) { return scale ? &*scale : nullptr; };
    switch (outputFormatFor(format).kind()) {
    case ImageFormat::Kind::jpeg:
        return present(jpegScale);
    case ImageFormat::Kind::png:
        return present(pngScale);
    case ImageFormat::Kind::webp:
        return present(webpScale);
    case ImageFormat::Kind::avif:
        return present(avifScale);
    default:
        return nullptr;
    }
}

EncoderTable EncoderTable::standard(const CompressionSettings &settings, const InstallLayout &layout)
{
    const auto chosen = [&](OutputFormat format, ImageFormat::Kind kind, int quality) {
        return settings.outputFormat == format ? encoderWriting(kind, quality, settings, layout) : nullptr;
    };
    // Below quality 10 a lossy output is blocks of flat colour: not a picture anyone would send.
    const auto scale = [&](ImageFormat::Kind kind, int quality) {
        return QualityScale{[kind, settings, layout](int at) {
                                // pngquant's range opens down to 0, so that a lower quality gives
                                // fewer colours instead of a refusal (which would leave the PNG
                                // to the lossless encoder, the largest output).
                                CompressionSettings scaled = settings;
                                scaled.pngQualityMinimum = 0;
                                scaled.pngQualityMaximum = at;
                                return encoderWriting(kind, at, scaled, layout);
                            },
                            kind == ImageFormat::Kind::png ? 0 : std::min(10, quality), quality};
    };
    EncoderTable table{
        .jpeg = encoderWriting(ImageFormat::Kind::jpeg, settings.jpegQuality, settings, layout),
        // Lossless JPEG has no in-process encoder behind it: nothing else may write the file.
        .jpegRewrite = settings.jpegLossless ? std::make_shared<ToolEncoder>(makeJPEGTranEncoder(layout, settings.metadata))
                                             : nullptr,
        .png = encoderWriting(ImageFormat::Kind::png, settings.pngQualityMaximum, settings, layout),
        .webp = chosen(OutputFormat::webp, ImageFormat::Kind::webp, settings.webpQuality),
        .avif = chosen(OutputFormat::avif, ImageFormat::Kind::avif, settings.avifQuality),
        .outputFormat = settings.outputFormat,
        .jpegScale = scale(ImageFormat::Kind::jpeg, settings.jpegQuality),
        .pngScale = std::nullopt,
        .webpScale = std::nullopt,
        .avifScale = std::nullopt,
    };
    if (!settings.pngLossless)
        table.pngScale = scale(ImageFormat::Kind::png, settings.pngQualityMaximum);
    if (table.webp)
        table.webpScale = scale(ImageFormat::Kind::webp, settings.webpQuality);
    if (table.avif)
        table.avifScale = scale(ImageFormat::Kind::avif, settings.avifQuality);
    return table;
}

} // namespace pressel
