// SPDX-License-Identifier: GPL-3.0-or-later
#include "EncoderTable.h"

#include "JPEGEncoder.h"
#include "PNGEncoder.h"

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

EncoderTable EncoderTable::standard(const CompressionSettings &settings, const InstallLayout &layout)
{
    std::optional<QualityRange> pngQuality;
    if (!settings.pngLossless)
        pngQuality = QualityRange{settings.pngQualityMinimum, settings.pngQualityMaximum};
    return {std::make_shared<FallbackEncoder>(makeJPEGEncoder(layout, settings.jpegQuality)),
            std::make_shared<FallbackEncoder>(makePNGEncoder(layout, pngQuality, settings.metadata))};
}

} // namespace pressel
