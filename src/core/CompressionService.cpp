#include "CompressionService.h"

#include "Logging.h"
#include "MetadataTransfer.h"
#include "OutputFiles.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QPromise>
#include <QThreadPool>

CompressionService::CompressionService(ImageFormatDetector formatDetector, BackendFactory makeBackends)
    : m_formatDetector(formatDetector)
    , m_makeBackends(std::move(makeBackends))
    , m_executor(std::make_unique<QThreadPool>())
{
    // One worker: calls run strictly one after another, off the caller's thread.
    m_executor->setMaxThreadCount(1);
    m_executor->setExpiryTimeout(-1);
}

CompressionService::~CompressionService()
{
    m_stop.request_stop();
    m_executor->waitForDone();
}

QFuture<QList<CompressionResult>> CompressionService::compressFiles(const QList<QUrl> &urls,
                                                                   const CompressionSettings &settings)
{
    // The future comes from a promise of our own rather than from QtConcurrent::run: a thread
    // that waits on a QtConcurrent future takes a still-queued task and runs it itself, which
    // would run a second batch on the waiting thread beside the first.
    auto promise = std::make_shared<QPromise<QList<CompressionResult>>>();
    QFuture<QList<CompressionResult>> future = promise->future();
    promise->start();
    m_executor->start([this, urls, settings, promise] {
        const QList<CompressionResult> results =
            compressFiles(urls, settings, [&] { return promise->isCanceled(); });
        promise->addResult(results);
        promise->finish();
    });
    return future;
}

QList<CompressionResult> CompressionService::compressFiles(const QList<QUrl> &urls,
                                                           const CompressionSettings &settings,
                                                           const std::function<bool()> &isCancelled) const
{
    const Backends backends = m_makeBackends(settings);
    QList<CompressionResult> results;
    results.reserve(urls.size());
    for (const QUrl &url : urls) {
        if (isCancelled() || m_stop.stop_requested())
            break;
        results.append(compressFile(url, backends, settings));
    }
    return results;
}

static Expected<void> ensureFolderExists(const QUrl &folderURL)
{
    const QString path = folderURL.toLocalFile();
    if (QFileInfo(path).isDir() || QDir().mkpath(path))
        return {};
    return failure(CompressionError::other(QStringLiteral("无法创建文件夹“%1”。").arg(QDir::toNativeSeparators(path))));
}

// Steps 3 to 8 of one file: inspect, make sure the folder exists, pick the encoder, name the
// output and compress.
Expected<CompressionArtifact> CompressionService::encode(const QUrl &sourceURL, const Backends &backends) const
{
    const auto profile = m_formatDetector.detect(sourceURL);
    if (!profile)
        return failure(profile.error());
    const QUrl folderURL = QUrl::fromLocalFile(QFileInfo(sourceURL.toLocalFile()).absolutePath());
    if (const auto folder = ensureFolderExists(folderURL); !folder)
        return failure(folder.error());
    const auto backend = backendForFormat(backends, profile->format);
    if (!backend)
        return failure(backend.error());
    // The detected format's extension: a PNG named .jpg becomes a .png, a .JPEG stays a .jpeg.
    const QUrl outputURL = makeUniqueOutputURL(profile->sourceURL, profile->format.fileExtension(), folderURL);
    return (*backend)->compress(*profile, outputURL, m_stop.get_token());
}

// What the settings ask of a written output beyond its pixels: the source's metadata, then its
// modification time, last, since rewriting the file would renew it. Sizes are read afterwards,
// so the not-smaller rule judges the file as it finally stands.
static Expected<CompressionArtifact> finishOutput(const QUrl &sourceURL, const CompressionArtifact &artifact,
                                                  const CompressionSettings &settings)
{
    if (settings.metadata == MetadataPolicy::strip && !settings.keepModificationDate)
        return artifact;
    if (const auto carried = transferMetadata(sourceURL, artifact.outputURL, settings.metadata); !carried)
        return failure(carried.error());
    if (settings.keepModificationDate) {
        const QDateTime modified = QFileInfo(sourceURL.toLocalFile()).fileTime(QFileDevice::FileModificationTime);
        QFile output(artifact.outputURL.toLocalFile());
        // A date that cannot be kept is not worth the output: the file is still right.
        if (!output.open(QIODevice::ReadWrite) || !output.setFileTime(modified, QFileDevice::FileModificationTime))
            qCCritical(lcCompression).noquote() << QStringLiteral("Modification time of %1 not kept: %2")
                                                        .arg(artifact.outputURL.toLocalFile(), output.errorString());
    }
    const auto outputBytes = readFileSize(artifact.outputURL);
    if (!outputBytes)
        return failure(CompressionPipelineError::outputStatFailed());
    return CompressionArtifact{artifact.outputURL, *outputBytes};
}

CompressionResult CompressionService::compressFile(const QUrl &sourceURL, const CompressionSettings &settings) const
{
    return compressFile(sourceURL, m_makeBackends(settings), settings);
}

CompressionResult CompressionService::compressFile(const QUrl &sourceURL, const Backends &backends,
                                                   const CompressionSettings &settings) const
{
    const qint64 originalBytes = readFileSize(sourceURL).value_or(0);
    auto artifact = encode(sourceURL, backends);
    if (artifact) {
        const QUrl written = artifact->outputURL;
        artifact = finishOutput(sourceURL, *artifact, settings);
        // A half-finished output must not stay looking like a result.
        if (!artifact)
            removeItemIgnoringErrors(written);
    }
    if (!artifact)
        return CompressionResult::failure(sourceURL, originalBytes, artifact.error());
    if (artifact->outputBytes >= originalBytes) {
        removeItemIgnoringErrors(artifact->outputURL);
        return CompressionResult::failure(sourceURL, originalBytes,
                                          CompressionPipelineError::notSmallerAfterCompression());
    }
    return CompressionResult::success(sourceURL, originalBytes, *artifact);
}

Expected<const CompressionBackend *> CompressionService::backendForFormat(const Backends &backends,
                                                                         const ImageFormat &format)
{
    switch (format.kind()) {
    case ImageFormat::Kind::jpeg:
        return backends.jpeg.get();
    case ImageFormat::Kind::png:
        return backends.png.get();
    case ImageFormat::Kind::heic:
    case ImageFormat::Kind::heif:
        return failure(CompressionPipelineError::backendUnavailable(QStringLiteral("当前阶段暂不处理 HEIC / HEIF")));
    case ImageFormat::Kind::tiff:
        return failure(CompressionPipelineError::backendUnavailable(QStringLiteral("当前阶段暂不处理 TIFF")));
    case ImageFormat::Kind::unknown:
        return failure(CompressionPipelineError::unsupportedFormat(format));
    }
    Q_UNREACHABLE();
    return failure(CompressionPipelineError::unsupportedFormat(format));
}
