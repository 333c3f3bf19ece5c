// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "ImageFormat.h"

#include <QString>

namespace pressel {

// An error inside the pipeline; its description is the Chinese text the user reads.
class CompressionPipelineError
{
public:
    enum class Kind {
        unsupportedFormat,
        backendUnavailable,
        backendExecutionFailed,
        readFailed,
        imageDecodeFailed,
        destinationCreateFailed,
        writeFailed,
        outputStatFailed,
        notSmallerAfterCompression,
        folderWithoutImages,
        folderLimitReached,
        sourceChanged,
    };

    static CompressionPipelineError unsupportedFormat(const ImageFormat &format);
    static CompressionPipelineError backendUnavailable(const QString &message);
    static CompressionPipelineError backendExecutionFailed(const QString &message);
    static CompressionPipelineError readFailed() { return CompressionPipelineError(Kind::readFailed); }
    static CompressionPipelineError imageDecodeFailed() { return CompressionPipelineError(Kind::imageDecodeFailed); }
    static CompressionPipelineError destinationCreateFailed() { return CompressionPipelineError(Kind::destinationCreateFailed); }
    static CompressionPipelineError writeFailed() { return CompressionPipelineError(Kind::writeFailed); }
    static CompressionPipelineError outputStatFailed() { return CompressionPipelineError(Kind::outputStatFailed); }
    static CompressionPipelineError notSmallerAfterCompression() { return CompressionPipelineError(Kind::notSmallerAfterCompression); }
    static CompressionPipelineError folderWithoutImages() { return CompressionPipelineError(Kind::folderWithoutImages); }
    static CompressionPipelineError folderLimitReached() { return CompressionPipelineError(Kind::folderLimitReached); }
    static CompressionPipelineError sourceChanged() { return CompressionPipelineError(Kind::sourceChanged); }

    Kind kind() const { return m_kind; }
    QString localizedDescription() const;

    friend bool operator==(const CompressionPipelineError &, const CompressionPipelineError &) = default;

private:
    explicit CompressionPipelineError(Kind kind, QString text = {}) : m_kind(kind), m_text(std::move(text)) {}

    Kind m_kind;
    QString m_text; // the payload text, or the unsupported format's extension
};

} // namespace pressel
