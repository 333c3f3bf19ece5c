#include "CompressionViewModel.h"

#include "Logging.h"

#include <utility>

CompressionViewModel::CompressionViewModel(std::unique_ptr<CompressionService> compressionService, QObject *parent)
    : QObject(parent)
    , m_compressionService(std::move(compressionService))
{}

CompressionViewModel::~CompressionViewModel()
{
    // The service stops a running tool when it goes; the rest of the batch is not wanted.
    discardCompressionTask();
}

void CompressionViewModel::setDropTargeted(bool targeted)
{
    if (m_isDropTargeted == targeted)
        return;
    m_isDropTargeted = targeted;
    emit isDropTargetedChanged();
}

void CompressionViewModel::setProcessing(bool processing)
{
    if (m_isProcessing == processing)
        return;
    m_isProcessing = processing;
    emit isProcessingChanged();
}

bool CompressionViewModel::handleDroppedFiles(const QList<QUrl> &urls)
{
    QList<QUrl> fileURLs;
    QStringList paths;
    for (const QUrl &url : urls) {
        if (!url.isLocalFile())
            continue;
        fileURLs.append(url);
        paths.append(url.toLocalFile());
    }
    if (fileURLs.isEmpty())
        return false;

    qCInfo(lcCompression).noquote() << QStringLiteral("handleDroppedFiles received %1 file(s): %2")
                                           .arg(QString::number(fileURLs.size()), paths.join(QStringLiteral(", ")));

    discardCompressionTask();
    m_results.clear();
    setProcessing(true);

    auto *watcher = new BatchWatcher(this);
    connect(watcher, &BatchWatcher::finished, this, [this, watcher] { finishBatch(watcher); });
    m_compressionTask = watcher;
    // Read now, so a change made while this batch runs applies to the next one.
    watcher->setFuture(m_compressionService->compressFiles(fileURLs, CompressionSettings::loadSaved()));
    return true;
}

void CompressionViewModel::clearResults()
{
    discardCompressionTask();
    m_results.clear();
    setProcessing(false);
}

// Cancelling lets the service stop before its next file; cutting the watcher loose is what
// silences the batch: whatever it returns later reaches nobody. Not waited for.
void CompressionViewModel::discardCompressionTask()
{
    BatchWatcher *watcher = std::exchange(m_compressionTask, nullptr);
    if (!watcher)
        return;
    disconnect(watcher, nullptr, this, nullptr);
    watcher->future().cancel();
    watcher->deleteLater();
}

void CompressionViewModel::finishBatch(BatchWatcher *watcher)
{
    if (watcher != m_compressionTask)
        return;
    const QFuture<QList<CompressionResult>> future = watcher->future();
    if (future.isCanceled())
        return;
    const QList<CompressionResult> results = future.resultCount() > 0 ? future.result() : QList<CompressionResult>();
    // The batch is over before anyone hears of it, so an observer may start the next one at once.
    m_compressionTask = nullptr;
    watcher->deleteLater();
    m_results.insertAtFront(results);
    setProcessing(false);
}
