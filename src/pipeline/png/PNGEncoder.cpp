// SPDX-License-Identifier: GPL-3.0-or-later
#include "PNGEncoder.h"

#include "ImageCodec.h"
#include "InProcessEncoding.h"
#include "JPEGEncoder.h"
#include "Logging.h"

#include <QFile>


namespace pressel {

QStringList pngquantArguments(QualityRange qualityRange, MetadataPolicy metadata)
{
    QStringList arguments{QStringLiteral("--quality"),
                          QString::number(qualityRange.lower) + u'-' + QString::number(qualityRange.upper),
                          QStringLiteral("--speed"),
                          QStringLiteral("1")};
    if (metadata != MetadataPolicy::all)
        arguments << QStringLiteral("--strip");
    // "-": the source on standard input, the output on standard output.
    return arguments << QStringLiteral("-");
}

ToolEncoder makePNGQuantEncoder(const InstallLayout &layout, QualityRange qualityRange,
                                        MetadataPolicy metadata)
{
    Q_ASSERT(qualityRange.lower <= qualityRange.upper);
    ToolEncoder::Description description{
        .toolName = QStringLiteral("pngquant"),
        .displayName = QStringLiteral("pngquant"),
        .notFound = Failure::pngquantMissing,
        .logCategory = lcPNGQuant,
        // pngquant drops a PNG's colour profile without converting the pixels, so its output
        // would show other colours than the source; such a PNG is left to the in-process
        // encoder, which brings it to sRGB. The profile is read from the chunks: pngquant
        // decodes the pixels itself.
        .preflight = [](const ImageProfile &profile) -> Expected<void> {
            if (profile.picture)
                return {}; // pixels of our own decoding: sRGB already
            const auto source = ImageSource::fromBytes(profile.source->bytes());
            if (source && source->hasForeignProfileChunk())
                return failure(Failure::pngquantForeignProfile);
            return {};
        },
        .prepare = [qualityRange, metadata](const ImageProfile &profile) -> Expected<ToolInvocation> {
            if (!profile.picture)
                return ToolInvocation{pngquantArguments(qualityRange, metadata), std::nullopt};
            // A picture prepared for the output reaches pngquant as a PNG of its own, in a
            // private file of the temporary folder like cjpeg's input.
            auto png = PrivateFile::create(temporaryFolder());
            QFile file;
            if (!png || !file.open(png->descriptor(), QIODevice::WriteOnly, QFileDevice::DontCloseHandle) ||
                !writeImage(*profile.picture, ImageFormat::Kind::png, file) || !file.flush())
                return failure(Failure(Failure::writeFailed));
            return ToolInvocation{pngquantArguments(qualityRange, metadata), std::move(png)};
        },
        // The IEND chunk: no data, its type, its CRC.
        .outputEnding = QByteArrayLiteral("\0\0\0\0IEND\xAE\x42\x60\x82"),
    };
    return ToolEncoder(std::move(description), layout);
}

FallbackEncoder makePNGEncoder(const InstallLayout &layout, std::optional<QualityRange> qualityRange,
                          MetadataPolicy metadata)
{
    std::optional<ToolEncoder> pngquant;
    if (qualityRange)
        pngquant.emplace(makePNGQuantEncoder(layout, *qualityRange, metadata));
    return FallbackEncoder(std::move(pngquant),
                         InProcessEncoder(ImageFormat::Kind::png, std::nullopt),
                         {lcPNGCompression, QStringLiteral("PNG")});
}

} // namespace pressel
