// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "EncoderTable.h"
#include "CompressionResult.h"
#include "CompressionSettings.h"
#include "ImageFormatDetector.h"

#include <QFuture>
#include <QList>
#include <QUrl>

#include <atomic>
#include <functional>
#include <memory>
#include <stop_token>

class QThreadPool;

namespace pressel {

struct BatchFile;

// How far a batch has come: files finished out of all, and one of the files being compressed.
struct CompressionProgress {
    qsizetype completedCount = 0;
    qsizetype totalCount = 0;
    QUrl fileInHand; // empty when no file is in hand
};

// One batch as its caller asks for it: the files in order, how the caller stops it and hears
// how far it is. What else must hold for one whole batch belongs here too.
struct CompressionBatchRequest {
    QList<QUrl> urls;
    // Read when the batch starts: its encoders are built from them.
    CompressionSettings settings = {};
    // Looked at before each file starts. A stopped batch finishes its files in hand and answers
    // with their rows, in the order of `urls`.
    std::stop_token stopToken = {};
    // Told of every file that starts or finishes. Called on the service's threads, one call at
    // a time and in the order of the changes, so it must only hand the value on.
    std::function<void(const CompressionProgress &)> onProgress = {};
    // Told of each row as its file finishes, with the row's place among the batch's rows (folders
    // opened), which orders them as `urls` does. Called like onProgress.
    std::function<void(qsizetype place, const CompressionResult &)> onRow = {};
    // Told once, when a stopped batch ends, of the files it never started, in their order.
    std::function<void(const QList<QUrl> &)> onUnstarted = {};
};

// Compresses one batch of files, several side by side, and answers with one result per file in
// order. Every outcome is a row: the batch never fails as a whole. Batches run one at a time on
// an executor of their own: the next begins when every file in hand of the last has finished.
class CompressionService
{
public:
    // While one file alone is larger, it runs by itself.
    static constexpr qint64 pixelBudget = 250'000'000;

    using EncoderFactory = std::function<EncoderTable(const CompressionSettings &)>;

    // Gives the file its output URL (profile, folder): `first` in file order, one file at a time
    // in a batch; `retry` at any time, when another program took that name meanwhile.
    struct OutputNamer {
        std::function<QUrl(const ImageProfile &, const QUrl &)> first;
        std::function<QUrl(const ImageProfile &, const QUrl &)> retry;
    };

    CompressionService(ImageFormatDetector formatDetector, EncoderFactory makeEncoders);
    // Stops the running external tools at once and removes what they wrote, then waits for the
    // service's executor: the batch ends with its files in hand, unfinished.
    ~CompressionService();
    CompressionService(const CompressionService &) = delete;
    CompressionService &operator=(const CompressionService &) = delete;

    // Whether a folder in a batch stands for the image files inside it (see ImageFolderWalk);
    // otherwise it is one row like any file that is not an image. Off by default; set before
    // the first batch.
    void setOpensFolders(bool opensFolders) { m_opensFolders = opensFolders; }

    // The most files of a batch in hand at once, one per core unless set; 1 compresses them
    // strictly one after another. Read when a batch starts.
    int workerCount() const { return m_workerCount; }
    void setWorkerCount(int count);

    // Runs the batch on the service's executor. Cancelling the future works like the request's
    // stop token, but the rows of the files in hand are then dropped.
    QFuture<QList<CompressionResult>> compressFiles(CompressionBatchRequest request);
    QFuture<QList<CompressionResult>> compressFiles(const QList<QUrl> &urls, const CompressionSettings &settings = {});

    // The batch itself, on the calling thread, which it blocks until its last file in hand ends.
    QList<CompressionResult> runBatch(const CompressionBatchRequest &request,
                                      const std::function<bool()> &isCancelled = {}) const;
    // One file by itself on the calling thread.
    CompressionResult compressFile(const QUrl &sourceURL, const CompressionSettings &settings = {}) const;

private:

    CompressionResult compressFile(const BatchFile &file, const EncoderTable &encoders,
                                   const CompressionSettings &settings, const OutputNamer &nameOutput) const;

    ImageFormatDetector m_formatDetector;
    EncoderFactory m_makeEncoders;
    std::atomic<int> m_workerCount;
    std::stop_source m_stop; // requested when the service goes
    std::unique_ptr<QThreadPool> m_executor;
    bool m_opensFolders = false;
};

} // namespace pressel
