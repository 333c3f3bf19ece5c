#include "CompressionService.h"

#include "ImageCodec.h"
#include "OutputFiles.h"

#include <QDir>
#include <QFileInfo>
#include <QPromise>
#include <QThread>
#include <QThreadPool>

#include <algorithm>
#include <condition_variable>
#include <map>
#include <mutex>
#include <vector>

namespace {

// The detected format's extension: a PNG named .jpg becomes a .png, a .JPEG stays a .jpeg. The
// name is claimed before it is handed out; another batch of this process may claim a free name
// between the test and the claim, and the next test then passes it by.
QUrl reserveOutputURL(const ImageProfile &profile, const QUrl &folderURL, std::vector<OutputNameReservation> &held)
{
    for (;;) {
        const QUrl outputURL = makeUniqueOutputURL(profile.sourceURL, profile.format.fileExtension(), folderURL);
        if (auto reservation = OutputNameReservation::reserve(outputURL)) {
            held.push_back(std::move(*reservation));
            return outputURL;
        }
    }
}

// The pixels a file will hold in memory while it is compressed, as far as its header tells.
// A file that does not open takes none; one whose header says nothing counts as the whole
// budget, so that it runs by itself.
qint64 expectedPixelCount(const QUrl &url)
{
    const auto source = ImageSource::create(url);
    if (!source)
        return 0;
    return std::min(source->pixelCountFromHeader().value_or(CompressionService::pixelBudget),
                    CompressionService::pixelBudget);
}

// What the files of one batch share while they run side by side; guarded by `mutex`.
struct BatchState {
    std::mutex mutex;
    std::condition_variable changed;
    qsizetype nextToName = 0; // whose turn it is to name an output, in file order
    int inHand = 0;
    qint64 pixelsInHand = 0;
    std::map<qsizetype, QUrl> filesInHand;
    qsizetype completed = 0;
    std::vector<std::optional<CompressionResult>> results;
    // Held until the batch ends, so that a name stays taken although its output is deleted
    // again: the names never depend on how many files ran side by side.
    std::vector<OutputNameReservation> reservations;

    void report(const CompressionBatchRequest &request) const
    {
        if (!request.onProgress)
            return;
        const QUrl fileInHand = filesInHand.empty() ? QUrl() : filesInHand.begin()->second;
        request.onProgress({completed, qsizetype(results.size()), fileInHand});
    }
};

} // namespace

CompressionService::CompressionService(ImageFormatDetector formatDetector,
                                       std::shared_ptr<const CompressionBackend> jpegBackend,
                                       std::shared_ptr<const CompressionBackend> pngBackend)
    : m_formatDetector(formatDetector)
    , m_jpegBackend(std::move(jpegBackend))
    , m_pngBackend(std::move(pngBackend))
    , m_workerCount(std::max(1, QThread::idealThreadCount()))
    , m_executor(std::make_unique<QThreadPool>())
{
    // One batch at a time, off the caller's thread.
    m_executor->setMaxThreadCount(1);
    m_executor->setExpiryTimeout(-1);
}

CompressionService::~CompressionService()
{
    m_stop.request_stop();
    m_executor->waitForDone();
}

void CompressionService::setWorkerCount(int count)
{
    m_workerCount = std::max(1, count);
}

QFuture<QList<CompressionResult>> CompressionService::compressFiles(const QList<QUrl> &urls)
{
    return compressFiles(CompressionBatchRequest{urls});
}

QFuture<QList<CompressionResult>> CompressionService::compressFiles(CompressionBatchRequest request)
{
    // The future comes from a promise of our own rather than from QtConcurrent::run: a thread
    // that waits on a QtConcurrent future takes a still-queued task and runs it itself, which
    // would run a second batch on the waiting thread beside the first.
    auto promise = std::make_shared<QPromise<QList<CompressionResult>>>();
    QFuture<QList<CompressionResult>> future = promise->future();
    promise->start();
    m_executor->start([this, request = std::move(request), promise] {
        const QList<CompressionResult> results = runBatch(request, [&] { return promise->isCanceled(); });
        promise->addResult(results);
        promise->finish();
    });
    return future;
}

QList<CompressionResult> CompressionService::runBatch(const CompressionBatchRequest &request,
                                                      const std::function<bool()> &isCancelled) const
{
    const auto stopped = [&] {
        return request.stopToken.stop_requested() || m_stop.stop_requested() || (isCancelled && isCancelled());
    };
    const int workers = m_workerCount;
    BatchState state;
    state.results.resize(size_t(request.urls.size()));
    QThreadPool pool;
    pool.setMaxThreadCount(workers);

    // Files start in their order and only while there is room: a free worker, and pixels
    // under the budget unless nothing else is in hand.
    for (qsizetype index = 0; index < request.urls.size(); ++index) {
        const QUrl url = request.urls[index];
        {
            std::unique_lock lock(state.mutex);
            state.changed.wait(lock, [&] { return state.inHand < workers; });
        }
        if (stopped())
            break;
        const qint64 pixels = expectedPixelCount(url);
        {
            std::unique_lock lock(state.mutex);
            state.changed.wait(lock, [&] { return state.inHand == 0 || state.pixelsInHand + pixels <= pixelBudget; });
            if (stopped())
                break;
            ++state.inHand;
            state.pixelsInHand += pixels;
            state.filesInHand.emplace(index, url);
            state.report(request);
        }
        pool.start([this, &state, &request, index, url, pixels] {
            // The file waits for its turn to name its output; one that ends before naming
            // passes its turn on all the same.
            bool named = false;
            const auto takeTurn = [&](std::unique_lock<std::mutex> &lock) {
                state.changed.wait(lock, [&] { return state.nextToName == index; });
            };
            const OutputNamer nameOutput = [&](const ImageProfile &profile, const QUrl &folderURL) {
                std::unique_lock lock(state.mutex);
                takeTurn(lock);
                const QUrl outputURL = reserveOutputURL(profile, folderURL, state.reservations);
                named = true;
                ++state.nextToName;
                state.changed.notify_all();
                return outputURL;
            };
            CompressionResult result = compressFile(url, nameOutput);

            std::unique_lock lock(state.mutex);
            if (!named) {
                takeTurn(lock);
                ++state.nextToName;
            }
            state.results[size_t(index)] = std::move(result);
            --state.inHand;
            state.pixelsInHand -= pixels;
            state.filesInHand.erase(index);
            ++state.completed;
            state.report(request);
            state.changed.notify_all();
        });
    }
    pool.waitForDone();

    // Files started in order and every started file finished, so the rows are the first files.
    QList<CompressionResult> results;
    results.reserve(request.urls.size());
    for (std::optional<CompressionResult> &result : state.results) {
        if (!result)
            break;
        results.append(std::move(*result));
    }
    return results;
}

CompressionResult CompressionService::compressFile(const QUrl &sourceURL) const
{
    std::vector<OutputNameReservation> held;
    return compressFile(sourceURL, [&](const ImageProfile &profile, const QUrl &folderURL) {
        return reserveOutputURL(profile, folderURL, held);
    });
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
Expected<CompressionArtifact> CompressionService::encode(const QUrl &sourceURL, const OutputNamer &nameOutput) const
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
    const QUrl outputURL = nameOutput(*profile, folderURL);
    return (*backend)->compress(*profile, outputURL, m_stop.get_token());
}

CompressionResult CompressionService::compressFile(const QUrl &sourceURL, const OutputNamer &nameOutput) const
{
    const qint64 originalBytes = readFileSize(sourceURL).value_or(0);
    const auto artifact = encode(sourceURL, nameOutput);
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
        return failure(CompressionPipelineError::backendUnavailable(QStringLiteral("当前阶段暂不处理 HEIC / HEIF")));
    case ImageFormat::Kind::tiff:
        return failure(CompressionPipelineError::backendUnavailable(QStringLiteral("当前阶段暂不处理 TIFF")));
    case ImageFormat::Kind::unknown:
        return failure(CompressionPipelineError::unsupportedFormat(format));
    }
    Q_UNREACHABLE();
    return failure(CompressionPipelineError::unsupportedFormat(format));
}
