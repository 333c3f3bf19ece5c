#include "CompressionPipelineError.h"

#include <QCoreApplication>

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
        return QStringLiteral("当前阶段暂不处理该格式：") + m_text;
    case Kind::backendUnavailable:
    case Kind::backendExecutionFailed:
        return m_text;
    case Kind::readFailed:
        return QStringLiteral("图片读取失败");
    case Kind::imageDecodeFailed:
        return QStringLiteral("无法解码图片内容");
    case Kind::destinationCreateFailed:
        return QStringLiteral("导出器创建失败");
    case Kind::writeFailed:
        return QStringLiteral("文件写入失败");
    case Kind::outputStatFailed:
        return QStringLiteral("无法读取输出文件大小");
    case Kind::notSmallerAfterCompression:
        return QStringLiteral("压缩后体积未变小，已保留原图");
    case Kind::folderWithoutImages:
        return QCoreApplication::translate("CompressionPipelineError", "文件夹中没有可压缩的图片");
    case Kind::folderLimitReached:
        return QCoreApplication::translate("CompressionPipelineError",
                                           "文件夹中的图片超过 10000 张，只处理了前 10000 张");
    }
    Q_UNREACHABLE();
    return QString();
}
