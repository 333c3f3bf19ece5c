#include "MozJPEGCompressionBackend.h"
#include "CompressionMessage.h"

#include "ExternalProcess.h"
#include "Logging.h"
#include "OutputFiles.h"
#include "PPMPreprocessing.h"

#include <QDir>
#include <QFileInfo>
#include <QScopeGuard>
#include <QUuid>

#include <cmath>

Expected<QUrl> MozJPEGCompressionBackend::makeOutputURL(const ImageProfile &profile, const QUrl &folderURL) const
{
    return makeUniqueOutputURL(profile.sourceURL, profile.format.fileExtension(), folderURL);
}

Expected<CompressionArtifact> MozJPEGCompressionBackend::compress(const ImageProfile &profile,
                                                                  const QUrl &outputURL) const
{
    const auto executable = m_commandLocator.locate();
    if (!executable)
        return failure(CompressionPipelineError::backendUnavailable(
            CompressionMessage::text(CompressionMessage::cjpegMissing)));
    qCInfo(lcMozJPEG).noquote() << QStringLiteral("Using cjpeg at %1 for %2")
                                       .arg(executable->toLocalFile(),
                                            QFileInfo(profile.sourceURL.toLocalFile()).fileName());
    if (const auto run = runCJPEG(*executable, profile, outputURL, m_compressionQuality); !run)
        return failure(run.error());
    const auto outputBytes = readFileSize(outputURL);
    if (!outputBytes)
        return failure(CompressionPipelineError::outputStatFailed());
    return CompressionArtifact{outputURL, *outputBytes};
}

namespace {

QString temporaryFolder()
{
    // QDir::tempPath() answers "" when TMPDIR names a folder that does not exist, and a bare
    // file name would put the picture in the working folder. Keep the folder as configured
    // instead, so that writing there fails and says why.
    if (const QString resolved = QDir::tempPath(); !resolved.isEmpty())
        return resolved;
    const QString configured = qEnvironmentVariable("TMPDIR");
    return QDir::cleanPath(
        QDir::current().absoluteFilePath(configured.isEmpty() ? QStringLiteral("/tmp") : configured));
}

} // namespace

QUrl MozJPEGCompressionBackend::makeTemporaryPPMURL()
{
    const QString name = QUuid::createUuid().toString(QUuid::WithoutBraces).toUpper() + QStringLiteral(".ppm");
    return QUrl::fromLocalFile(QDir(temporaryFolder()).filePath(name));
}

QStringList MozJPEGCompressionBackend::arguments(double quality, const QString &outputPath, const QString &ppmPath)
{
    // Rounded from the product, halves away from zero: 0.285 * 100 lies just below 28.5.
    const qint64 percent = std::llround(quality * 100.0);
    return {QStringLiteral("-quality"),
            QString::number(percent),
            QStringLiteral("-optimize"),
            QStringLiteral("-progressive"),
            QStringLiteral("-outfile"),
            outputPath,
            ppmPath};
}

Expected<void> MozJPEGCompressionBackend::runCJPEG(const QUrl &executableURL, const ImageProfile &profile,
                                                   const QUrl &outputURL, double quality) const
{
    const QUrl ppmURL = makeTemporaryPPMURL();
    const auto removePPM = qScopeGuard([&] { removeItemIgnoringErrors(ppmURL); });

    if (const auto written = writePPM(profile.sourceURL, ppmURL); !written)
        return written;

    const ProcessOutcome outcome = ExternalProcess::run(
        executableURL.toLocalFile(), arguments(quality, outputURL.toLocalFile(), ppmURL.toLocalFile()));
    switch (outcome.kind) {
    case ProcessOutcome::Kind::succeeded:
        return {};
    case ProcessOutcome::Kind::failedToStart:
        return failure(CompressionPipelineError::backendExecutionFailed(CompressionMessage::text(
            CompressionMessage::toolStartFailed, {QStringLiteral("mozjpeg"), outcome.startErrorDescription})));
    case ProcessOutcome::Kind::exitedNonZero:
    case ProcessOutcome::Kind::crashed:
        break;
    }
    return failure(CompressionPipelineError::backendExecutionFailed(CompressionMessage::text(
        CompressionMessage::toolRunFailed, {QStringLiteral("mozjpeg"), outcome.diagnosticText()})));
}
