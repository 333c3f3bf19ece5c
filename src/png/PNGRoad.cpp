// SPDX-License-Identifier: GPL-3.0-or-later
#include "PNGRoad.h"
#include "CompressionMessage.h"

#include "ImageCodec.h"
#include "InProcessEncoding.h"
#include "Logging.h"

#include <QFileInfo>

namespace pressel {

QStringList pngquantArguments(const QString &outputPath, QualityRange qualityRange, const QString &sourcePath,
                              MetadataPolicy metadata)
{
    QStringList arguments{QStringLiteral("--force"),
                          QStringLiteral("--output"),
                          outputPath,
                          QStringLiteral("--quality"),
                          QString::number(qualityRange.lower) + u'-' + QString::number(qualityRange.upper),
                          QStringLiteral("--speed"),
                          QStringLiteral("1")};
    if (metadata != MetadataPolicy::all)
        arguments << QStringLiteral("--strip");
    return arguments << QStringLiteral("--") << sourcePath;
}

QString pngquantScratchPath(const QString &outputPath)
{
    return outputPath + QStringLiteral(".tmp");
}

ExternalToolBackend makePNGQuantBackend(const ApplicationBundle &bundle, QualityRange qualityRange,
                                        MetadataPolicy metadata)
{
    Q_ASSERT(qualityRange.lower <= qualityRange.upper);
    ExternalToolBackend::Description description{
        .toolName = QStringLiteral("pngquant"),
        .displayName = QStringLiteral("pngquant"),
        .notFoundMessage = CompressionMessage::text(CompressionMessage::pngquantMissing),
        .logCategory = lcPNGQuant,
        // pngquant drops a PNG's colour profile without converting the pixels, so its output
        // would show other colours than the source; such a PNG is left to the in-process
        // encoder, which brings it to sRGB. The decoder has read the profile already; a picture
        // that does not decode is the tool's to refuse.
        .preflight = [](const ImageProfile &profile) -> Expected<void> {
            if (const auto image = decodedImage(profile); image && (*image)->fromOtherProfile)
                return failure(CompressionPipelineError::backendExecutionFailed(
                    CompressionMessage::text(CompressionMessage::pngquantForeignProfile)));
            return {};
        },
        .prepare = {},
        // The IEND chunk: no data, its type, its CRC.
        .outputEnding = QByteArrayLiteral("\0\0\0\0IEND\xAE\x42\x60\x82"),
    };
    // pngquant writes "<output>.tmp" and renames it onto the output. The output name was chosen
    // free, the scratch name was not: a file of that name beside the source would be truncated
    // and then moved away, so the tool is not run at all then. A run killed while writing leaves
    // its scratch file; it is the run's own, checked free here.
    description.prepare = [qualityRange, metadata](const ImageProfile &profile,
                                                   const QUrl &outputURL) -> Expected<ToolInvocation> {
        const QString scratch = pngquantScratchPath(outputURL.toLocalFile());
        if (const QFileInfo scratchInfo(scratch); scratchInfo.exists() || scratchInfo.isSymLink())
            return failure(CompressionPipelineError::backendExecutionFailed(CompressionMessage::text(
                CompressionMessage::toolScratchExists, {QStringLiteral("pngquant"), scratch})));
        return ToolInvocation{
            pngquantArguments(outputURL.toLocalFile(), qualityRange, profile.sourceURL.toLocalFile(), metadata),
            {QUrl::fromLocalFile(scratch)}};
    };
    return ExternalToolBackend(std::move(description), bundle);
}

FallbackChain makePNGRoad(const ApplicationBundle &bundle, std::optional<QualityRange> qualityRange,
                          MetadataPolicy metadata)
{
    std::optional<ExternalToolBackend> pngquant;
    if (qualityRange)
        pngquant.emplace(makePNGQuantBackend(bundle, *qualityRange, metadata));
    return FallbackChain(std::move(pngquant),
                         InProcessBackend(QStringLiteral("public.png"), std::nullopt),
                         {lcPNGCompression, QStringLiteral("PNG")});
}

} // namespace pressel
