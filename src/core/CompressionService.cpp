#include "CompressionService.h"
#include "CompressionMessage.h"

#include "OutputFiles.h"

#include <QDir>
#include <QFileInfo>
#include <QPromise>
#include <QThreadPool>

CompressionService::CompressionService(ImageFormatDetector formatDetector,
                                       std::shared_ptr<const CompressionBackend> jpegBackend,
                                       std::shared_ptr<const CompressionBackend> pngBackend)
    : m_formatDetector(formatDetector)
    , m_jpegBackend(std::move(jpegBackend))
    , m_pngBackend(std::move(pngBackend))
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

QFuture<QList<CompressionResult>> CompressionService::compressFiles(const QList<QUrl> &urls)
{
    // The future comes from a promise of our own rather than from QtConcurrent::run: a thread
    // that waits on a QtConcurrent future takes a still-queued task and runs it itself, which
    // would run a second batch on the waiting thread beside the first.
    auto promise = std::make_shared<QPromise<QList<CompressionResult>>>();
    QFuture<QList<CompressionResult>> future = promise->future();
    promise->start();
    m_executor->start([this, urls, promise] {
        const QList<CompressionResult> results = compressFiles(urls, [&] { return promise->isCanceled(); });
        promise->addResult(results);
        promise->finish();
    });
    return future;
}

QList<CompressionResult> CompressionService::compressFiles(const QList<QUrl> &urls,
                                                           const std::function<bool()> &isCancelled) const
{
    QList<CompressionResult> results;
    results.reserve(urls.size());
    for (const QUrl &url : urls) {
        if (isCancelled() || m_stop.stop_requested())
            break;
        results.append(compressFile(url));
    }
    return results;
}

static Expected<void> ensureFolderExists(const QUrl &folderURL)
{
    const QString path = folderURL.toLocalFile();
    if (QFileInfo(path).isDir() || QDir().mkpath(path))
        return {};
    return failure(CompressionError::other(
        CompressionMessage::text(CompressionMessage::folderCreateFailed, {QDir::toNativeSeparators(path)})));
}

// Steps 3 to 8 of one file: inspect, make sure the folder exists, pick the encoder, name the
// output and compress.
Expected<CompressionArtifact> CompressionService::encode(const QUrl &sourceURL) const
{
    const auto profile = m_formatDetector.detect(sourceURL);
    if (!profile)
        return failure(profile.error());
    const QUrl folderURL = QUrl::fromLocalFile(QFileInfo(sourceURL.toLocalFile()).absolutePath());
    if (const auto folder = ensureFolderExists(folderURL); !folder)
        return failure(folder.error());
    const auto backend = backendForFormat(profile->format);
    if (!backend)
        return failure(backend.error());
    // The detected format's extension: a PNG named .jpg becomes a .png, a .JPEG stays a .jpeg.
    const QUrl outputURL = makeUniqueOutputURL(profile->sourceURL, profile->format.fileExtension(), folderURL);
    return (*backend)->compress(*profile, outputURL, m_stop.get_token());
}

CompressionResult CompressionService::compressFile(const QUrl &sourceURL) const
{
    const qint64 originalBytes = readFileSize(sourceURL).value_or(0);
    const auto artifact = encode(sourceURL);
    if (!artifact)
        return CompressionResult::failure(sourceURL, originalBytes, artifact.error());
    if (artifact->outputBytes >= originalBytes) {
        removeItemIgnoringErrors(artifact->outputURL);
        return CompressionResult::failure(sourceURL, originalBytes,
                                          CompressionPipelineError::notSmallerAfterCompression());
    }
    return CompressionResult::success(sourceURL, originalBytes, *artifact);
}

Expected<const CompressionBackend *> CompressionService::backendForFormat(const ImageFormat &format) const
{
    switch (format.kind()) {
    case ImageFormat::Kind::jpeg:
        return m_jpegBackend.get();
    case ImageFormat::Kind::png:
        return m_pngBackend.get();
    case ImageFormat::Kind::heic:
    case ImageFormat::Kind::heif:
        return failure(CompressionPipelineError::backendUnavailable(
            CompressionMessage::text(CompressionMessage::heifUnsupported)));
    case ImageFormat::Kind::tiff:
        return failure(CompressionPipelineError::backendUnavailable(
            CompressionMessage::text(CompressionMessage::tiffUnsupported)));
    case ImageFormat::Kind::unknown:
        return failure(CompressionPipelineError::unsupportedFormat(format));
    }
    Q_UNREACHABLE();
    return failure(CompressionPipelineError::unsupportedFormat(format));
}
