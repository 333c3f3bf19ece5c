// SPDX-License-Identifier: GPL-3.0-or-later
#include "CompressionResult.h"

namespace pressel {

QString FormatConversion::text() const
{
    return ImageFormat::displayName(from) + QStringLiteral(" → ") + ImageFormat::displayName(to);
}

CompressionResult CompressionResult::success(const QUrl &sourceURL, qint64 originalBytes,
                                             const CompressionArtifact &artifact)
{
    return CompressionResult{
        .id = QUuid::createUuid(),
        .sourceURL = sourceURL,
        .outputURL = artifact.outputURL,
        .originalBytes = originalBytes,
        .compressedBytes = artifact.outputBytes,
        .status = CompressionResultStatus::success,
        .failure = std::nullopt,
        .conversion = std::nullopt,
        .lossless = artifact.lossless,
        .resize = std::nullopt,
        .chosenQuality = std::nullopt,
    };
}

CompressionResult CompressionResult::failed(const QUrl &sourceURL, qint64 originalBytes, const Failure &failure)
{
    return CompressionResult{
        .id = QUuid::createUuid(),
        .sourceURL = sourceURL,
        .outputURL = std::nullopt,
        .originalBytes = originalBytes,
        .compressedBytes = std::nullopt,
        .status = failure.status(),
        .failure = failure,
        .conversion = std::nullopt,
        .resize = std::nullopt,
        .chosenQuality = std::nullopt,
    };
}

} // namespace pressel
