#include "PNGQuantCompressionBackend.h"

#include "ExternalProcess.h"
#include "Logging.h"
#include "OutputFiles.h"

#include <QFileInfo>
#include <QScopeGuard>

Expected<QUrl> PNGQuantCompressionBackend::makeOutputURL(const ImageProfile &profile, const QUrl &folderURL) const
{
    return makeUniqueOutputURL(profile.sourceURL, QStringLiteral("png"), folderURL);
}

Expected<CompressionArtifact> PNGQuantCompressionBackend::compress(const ImageProfile &profile,
                                                                   const QUrl &outputURL) const
{
    const auto executable = m_commandLocator.locate();
    if (!executable)
        return failure(
            CompressionPipelineError::backendUnavailable(QStringLiteral("未找到 pngquant，可继续回退到系统 PNG 压缩")));
    qCInfo(lcPNGQuant).noquote() << QStringLiteral("Using pngquant at %1 for %2")
                                        .arg(executable->toLocalFile(),
                                             QFileInfo(profile.sourceURL.toLocalFile()).fileName());
    if (const auto run = runPNGQuant(*executable, profile, outputURL, m_qualityRange); !run)
        return failure(run.error());
    const auto outputBytes = readFileSize(outputURL);
    if (!outputBytes)
        return failure(CompressionPipelineError::outputStatFailed());
    return CompressionArtifact{outputURL, *outputBytes};
}

QStringList PNGQuantCompressionBackend::arguments(const QString &outputPath, QualityRange qualityRange,
                                                  const QString &sourcePath)
{
    return {QStringLiteral("--force"),
            QStringLiteral("--output"),
            outputPath,
            QStringLiteral("--quality"),
            QString::number(qualityRange.lower) + u'-' + QString::number(qualityRange.upper),
            QStringLiteral("--speed"),
            QStringLiteral("1"),
            QStringLiteral("--"),
            sourcePath};
}

QString PNGQuantCompressionBackend::scratchPath(const QString &outputPath)
{
    return outputPath + QStringLiteral(".tmp");
}

Expected<void> PNGQuantCompressionBackend::runPNGQuant(const QUrl &executableURL, const ImageProfile &profile,
                                                       const QUrl &outputURL, QualityRange qualityRange) const
{
    // pngquant writes "<output>.tmp" and renames it onto the output. The output name was chosen
    // free, the scratch name was not: a file of that name beside the source would be truncated
    // and then moved away, so the tool is not run at all then.
    const QString scratch = scratchPath(outputURL.toLocalFile());
    if (const QFileInfo scratchInfo(scratch); scratchInfo.exists() || scratchInfo.isSymLink())
        return failure(CompressionPipelineError::backendExecutionFailed(
            QStringLiteral("pngquant 启动失败：临时文件已存在：") + scratch));
    // A run killed while writing leaves its scratch file; it is ours, checked free above.
    auto removeScratch = qScopeGuard([&] { removeItemIgnoringErrors(QUrl::fromLocalFile(scratch)); });

    const ProcessOutcome outcome = ExternalProcess::run(
        executableURL.toLocalFile(), arguments(outputURL.toLocalFile(), qualityRange, profile.sourceURL.toLocalFile()));
    switch (outcome.kind) {
    case ProcessOutcome::Kind::succeeded:
        removeScratch.dismiss();
        return {};
    case ProcessOutcome::Kind::failedToStart:
        return failure(CompressionPipelineError::backendExecutionFailed(QStringLiteral("pngquant 启动失败：") +
                                                                        outcome.startErrorDescription));
    case ProcessOutcome::Kind::exitedNonZero:
    case ProcessOutcome::Kind::crashed:
        break;
    }
    return failure(CompressionPipelineError::backendExecutionFailed(QStringLiteral("pngquant 执行失败：") +
                                                                    outcome.diagnosticText()));
}
