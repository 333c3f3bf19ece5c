// SPDX-License-Identifier: GPL-3.0-or-later
#include "EncoderTable.h"

#include "JPEGEncoder.h"
#include "JPEGTranEncoder.h"
#include "PNGEncoder.h"
#include "PNGLosslessEncoder.h"

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
    std::shared_ptr<const Encoder> jpeg;
    if (settings.jpegLossless)
        jpeg = std::make_shared<ToolEncoder>(makeJPEGTranEncoder(layout, settings.metadata));
    else
        jpeg = std::make_shared<FallbackEncoder>(makeJPEGEncoder(layout, settings.jpegQuality));
    std::shared_ptr<const Encoder> png;
    if (settings.pngLossless)
        png = std::make_shared<PNGLosslessEncoder>(settings.metadata);
    else
        png = std::make_shared<FallbackEncoder>(makePNGEncoder(
            layout, QualityRange{settings.pngQualityMinimum, settings.pngQualityMaximum}, settings.metadata));
    return {std::move(jpeg), std::move(png)};
}

} // namespace pressel
