// SPDX-License-Identifier: GPL-3.0-or-later
#include "CompressionPipelineError.h"
#include "CompressionMessage.h"

#include <QCoreApplication>

namespace pressel {

CompressionPipelineError CompressionPipelineError::unsupportedFormat(const ImageFormat &format)
{
    return CompressionPipelineError(Kind::unsupportedFormat, format.fileExtension());
}

CompressionPipelineError CompressionPipelineError::backendUnavailable(const QString &message)
{
    return CompressionPipelineError(Kind::backendUnavailable, message);
}

CompressionPipelineError CompressionPipelineError::backendExecutionFailed(const QString &message)
{
    return CompressionPipelineError(Kind::backendExecutionFailed, message);
}

QString CompressionPipelineError::localizedDescription() const
{
    switch (m_kind) {
    case Kind::unsupportedFormat:
        return CompressionMessage::text(CompressionMessage::unsupportedFormat, {m_text});
    case Kind::backendUnavailable:
    case Kind::backendExecutionFailed:
        return m_text;
    case Kind::readFailed:
        return CompressionMessage::text(CompressionMessage::readFailed);
    case Kind::imageDecodeFailed:
        return CompressionMessage::text(CompressionMessage::imageDecodeFailed);
    case Kind::destinationCreateFailed:
        return CompressionMessage::text(CompressionMessage::destinationCreateFailed);
    case Kind::writeFailed:
        return CompressionMessage::text(CompressionMessage::writeFailed);
    case Kind::outputStatFailed:
        return CompressionMessage::text(CompressionMessage::outputStatFailed);
    case Kind::notSmallerAfterCompression:
        return CompressionMessage::text(CompressionMessage::notSmaller);
    case Kind::folderWithoutImages:
        return CompressionMessage::text(CompressionMessage::folderWithoutImages);
    case Kind::folderLimitReached:
        return CompressionMessage::text(CompressionMessage::folderLimitReached);
    case Kind::sourceChanged:
        return CompressionMessage::text(CompressionMessage::sourceChanged);
    }
    Q_UNREACHABLE();
    return QString();
}

} // namespace pressel
