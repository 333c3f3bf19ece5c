// SPDX-License-Identifier: GPL-3.0-or-later
#include "EncoderTable.h"

#include "JPEGEncoder.h"
#include "PNGEncoder.h"

#include <algorithm>

namespace pressel {

Expected<const Encoder *> EncoderTable::encoderFor(const ImageFormat &format) const
{
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
    case ImageFormat::Kind::unknown:
        break;
    }
    return failure(Failure(Failure::unsupportedFormat, {format.fileExtension()}));
}

const QualityScale *EncoderTable::qualityScaleFor(const ImageFormat &format) const
{
    switch (format.kind()) {
    case ImageFormat::Kind::jpeg:
        return jpegScale ? &*jpegScale : nullptr;
    case ImageFormat::Kind::png:
        return pngScale ? &*pngScale : nullptr;
    default:
        return nullptr;
    }
}

EncoderTable EncoderTable::standard(const CompressionSettings &settings, const InstallLayout &layout)
{
    std::optional<QualityRange> pngQuality;
    if (!settings.pngLossless)
        pngQuality = QualityRange{settings.pngQualityMinimum, settings.pngQualityMaximum};
    EncoderTable table;
    table.jpeg = std::make_shared<FallbackEncoder>(makeJPEGEncoder(layout, settings.jpegQuality));
    table.png = std::make_shared<FallbackEncoder>(makePNGEncoder(layout, pngQuality, settings.metadata));
    // Below quality 10 a JPEG is blocks of flat colour: not a picture anyone would send.
    table.jpegScale = QualityScale{[layout](int quality) -> std::shared_ptr<const Encoder> {
                                       return std::make_shared<FallbackEncoder>(makeJPEGEncoder(layout, quality));
                                   },
                                   std::min(10, settings.jpegQuality), settings.jpegQuality};
    // pngquant's range opens down to 0, so that a lower quality gives fewer colours instead of
    // a refusal (which would leave the PNG to the lossless encoder, the largest output).
    if (pngQuality)
        table.pngScale = QualityScale{[layout, metadata = settings.metadata](int quality) -> std::shared_ptr<const Encoder> {
                                          return std::make_shared<FallbackEncoder>(
                                              makePNGEncoder(layout, QualityRange{0, quality}, metadata));
                                      },
                                      0, settings.pngQualityMaximum};
    return table;
}

} // namespace pressel
