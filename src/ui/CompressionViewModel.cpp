// SPDX-License-Identifier: GPL-3.0-or-later
#include "CompressionViewModel.h"

#include "BatchTotals.h"
#include "LocalFileURLs.h"
#include "Logging.h"

#include <QFileInfo>
#include <QStandardPaths>

#include <utility>

namespace pressel {

CompressionViewModel::CompressionViewModel(std::unique_ptr<CompressionService> compressionService, QObject *parent)
    : QObject(parent)
    , m_compressionService(std::move(compressionService))
{
    m_compressionService->setOpensFolders(true);
}

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

QUrl CompressionViewModel::openFolderURL() const
{
    if (!m_lastBatchFolder.isEmpty())
        return m_lastBatchFolder;
    const QString pictures = QStandardPaths::writableLocation(QStandardPaths::PicturesLocation);
    const QString folder = QFileInfo(pictures).isDir() ? pictures : QStandardPaths::writableLocation(QStandardPaths::HomeLocation);
    return QUrl::fromLocalFile(folder);
}

void CompressionViewModel::setStopping(bool stopping)
{
    if (m_isStopping == stopping)
        return;
    m_isStopping = stopping;
    emit isStoppingChanged();
}

void CompressionViewModel::setProgress(const CompressionProgress &progress)
{
    if (progress.completedCount == m_progress.completedCount && progress.totalCount == m_progress.totalCount &&
        progress.fileInHand == m_progress.fileInHand)
        return;
    m_progress = progress;
    emit progressChanged();
}

QString CompressionViewModel::fileInHandName() const
{
    return QFileInfo(m_progress.fileInHand.toLocalFile()).fileName();
}

void CompressionViewModel::setSummary(const QList<CompressionResult> &results, int unprocessedCount)
{
    const QString totalsText = BatchTotals::of(results + m_leftOut).text();
    if (totalsText == m_totalsText && unprocessedCount == m_unprocessedCount)
        return;
    m_totalsText = totalsText;
    m_unprocessedCount = unprocessedCount;
    emit summaryChanged();
}

bool CompressionViewModel::openFiles(const QList<QUrl> &urls)
{
    const QList<QUrl> fileURLs = localFileURLs(urls);
    if (fileURLs.isEmpty()) {
        qCInfo(lcCompression).noquote()
            << QStringLiteral("Nothing to open: no local file among %1 item(s)").arg(urls.size());
        return false;
    }

    qCInfo(lcCompression).noquote() << QStringLiteral("handleDroppedFiles received %1 file(s): %2")
                                           .arg(QString::number(fileURLs.size()), joinedLocalPaths(fileURLs));

    const QFileInfo first(fileURLs.constFirst().toLocalFile());
    const QUrl batchFolder = QUrl::fromLocalFile(first.isDir() ? first.absoluteFilePath() : first.absolutePath());
    if (batchFolder != m_lastBatchFolder) {
        m_lastBatchFolder = batchFolder;
        emit openFolderURLChanged();
    }

    discardCompressionTask();
    m_results.clear();
    m_rowPlaces.clear();
    m_leftOut.clear();
    startBatch(fileURLs);
    return true;
}

bool CompressionViewModel::continueRemaining()
{
    if (m_compressionTask || m_remaining.isEmpty())
        return false;
    qCInfo(lcCompression).noquote()
        << QStringLiteral("Continuing with the remaining %1 file(s)").arg(m_remaining.size());
    startBatch(std::exchange(m_remaining, {}));
    return true;
}

// The batch's rows join those shown as their files finish, after the rows of any batch it
// continues, in the order of its files.
void CompressionViewModel::startBatch(const QList<QUrl> &fileURLs)
{
    m_remaining.clear();
    m_firstPlace = m_rowPlaces.isEmpty() ? 0 : m_rowPlaces.constLast() + 1;
    setSummary(m_results.results(), 0);
    setStopping(false);
    setProgress({0, fileURLs.size(), {}});
    setProcessing(true);

    m_stopSource = std::stop_source();
    m_batchClock.start();
    const quint64 batchNumber = ++m_batchNumber;
    // Posted to this object, so that what the service tells reaches the GUI thread in order.
    const auto post = [this, batchNumber](auto change) {
        QMetaObject::invokeMethod(
            this,
            [this, batchNumber, change = std::move(change)] {
                if (batchNumber == m_batchNumber && m_compressionTask)
                    change();
            },
            Qt::QueuedConnection);
    };
    CompressionBatchRequest request{fileURLs, CompressionSettings::loadSaved(), m_stopSource.get_token()};
    request.onProgress = [this, post](const CompressionProgress &progress) { post([this, progress] { setProgress(progress); }); };
    request.onRow = [this, post](qsizetype place, const CompressionResult &row) {
        post([this, place, row] { showRow(m_firstPlace + place, row); });
    };
    request.onUnstarted = [this, post](const QList<QUrl> &unstarted) {
        post([this, unstarted] { m_remaining = unstarted; });
    };
    auto *watcher = new BatchWatcher(this);
    connect(watcher, &BatchWatcher::finished, this, [this, watcher] { finishBatch(watcher); });
    m_compressionTask = watcher;
    // Settings are read now, so a change made while this batch runs applies to the next one.
    watcher->setFuture(m_compressionService->compressFiles(std::move(request)));
}

void CompressionViewModel::showRow(qsizetype place, const CompressionResult &row)
{
    if (row.isLeftOut()) {
        m_leftOut.append(row);
        setSummary(m_results.results(), 0);
        return;
    }
    const auto at = std::lower_bound(m_rowPlaces.begin(), m_rowPlaces.end(), place);
    const int position = int(at - m_rowPlaces.begin());
    m_rowPlaces.insert(position, place);
    m_results.insert(position, row);
    setSummary(m_results.results(), 0);
}

void CompressionViewModel::clearResults()
{
    discardCompressionTask();
    m_results.clear();
    m_rowPlaces.clear();
    m_leftOut.clear();
    m_remaining.clear();
    setSummary({}, 0);
    setStopping(false);
    setProcessing(false);
}

void CompressionViewModel::stop()
{
    if (!m_compressionTask || m_isStopping)
        return;
    qCInfo(lcCompression).noquote() << QStringLiteral("Stopping the batch after %1 of %2 file(s)")
                                           .arg(QString::number(m_progress.completedCount),
                                                QString::number(m_progress.totalCount));
    m_stopSource.request_stop();
    setStopping(true);
}

// Cancelling lets the service stop before its next file; cutting the watcher loose is what
// silences the batch: whatever it returns later reaches nobody. Not waited for.
void CompressionViewModel::discardCompressionTask()
{
    BatchWatcher *watcher = std::exchange(m_compressionTask, nullptr);
    if (!watcher)
        return;
    disconnect(watcher, nullptr, this, nullptr);
    m_stopSource.request_stop();
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
    const bool stopped = m_isStopping;
    if (!stopped)
        m_remaining.clear();
    // The batch is over before anyone hears of it, so an observer may start the next one at once.
    m_compressionTask = nullptr;
    watcher->deleteLater();
    setProgress({m_progress.totalCount - m_remaining.size(), m_progress.totalCount, {}});
    setSummary(m_results.results(), int(m_remaining.size()));
    setStopping(false);
    setProcessing(false);
    if (!stopped)
        emit batchFinished(results, std::chrono::milliseconds(m_batchClock.elapsed()));
}

} // namespace pressel
