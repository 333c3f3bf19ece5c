// SPDX-License-Identifier: GPL-3.0-or-later
#include "CompressionResult.h"

namespace pressel {

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
        .message = std::nullopt,
    };
}

static CompressionResultStatus statusFor(const CompressionError &error)
{
    const CompressionPipelineError *pipelineError = error.pipelineError();
    if (!pipelineError)
        return CompressionResultStatus::failed;
    switch (pipelineError->kind()) {
    case CompressionPipelineError::Kind::unsupportedFormat:
    case CompressionPipelineError::Kind::backendUnavailable:
    case CompressionPipelineError::Kind::notSmallerAfterCompression:
        return CompressionResultStatus::skipped;
    case CompressionPipelineError::Kind::backendExecutionFailed:
    case CompressionPipelineError::Kind::readFailed:
    case CompressionPipelineError::Kind::imageDecodeFailed:
    case CompressionPipelineError::Kind::destinationCreateFailed:
    case CompressionPipelineError::Kind::writeFailed:
    case CompressionPipelineError::Kind::outputStatFailed:
    case CompressionPipelineError::Kind::folderWithoutImages:
    case CompressionPipelineError::Kind::folderLimitReached:
    case CompressionPipelineError::Kind::sourceChanged:
        return CompressionResultStatus::failed;
    }
    Q_UNREACHABLE();
    return CompressionResultStatus::failed;
}

CompressionResult CompressionResult::failure(const QUrl &sourceURL, qint64 originalBytes, const CompressionError &error)
{
    return CompressionResult{
        .id = QUuid::createUuid(),
        .sourceURL = sourceURL,
        .outputURL = std::nullopt,
        .originalBytes = originalBytes,
        .compressedBytes = std::nullopt,
        .status = statusFor(error),
        .message = error.localizedDescription(),
    };
}

} // namespace pressel
