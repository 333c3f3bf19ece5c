#pragma once

#include "CompressionBackend.h"
#include "CompressionResult.h"
#include "CompressionSettings.h"
#include "ImageFormatDetector.h"

#include <QFuture>
#include <QList>
#include <QUrl>

#include <functional>
#include <memory>
#include <stop_token>

class QThreadPool;

// Compresses one batch of files, one file at a time on an executor of its own, and answers
// with one result per file in order. Every outcome is a row: the batch never fails as a whole.
// The settings are a batch's own: its encoders are built from them when it starts.
class CompressionService
{
public:
    struct Backends {
        std::shared_ptr<const CompressionBackend> jpeg;
        std::shared_ptr<const CompressionBackend> png;
    };
    using BackendFactory = std::function<Backends(const CompressionSettings &)>;

    CompressionService(ImageFormatDetector formatDetector, BackendFactory makeBackends);
    // Stops a running external tool at once and removes what it wrote, then waits for the
    // service's executor: the batch ends with the file in hand, unfinished.
    ~CompressionService();
    CompressionService(const CompressionService &) = delete;
    CompressionService &operator=(const CompressionService &) = delete;

    // Runs the batch on the service's executor. Cancelling the future is looked at before each
    // file: the file in hand is always finished.
    QFuture<QList<CompressionResult>> compressFiles(const QList<QUrl> &urls, const CompressionSettings &settings = {});

    // The batch loop itself, on the calling thread.
    QList<CompressionResult> compressFiles(const QList<QUrl> &urls, const CompressionSettings &settings,
                                           const std::function<bool()> &isCancelled) const;
    CompressionResult compressFile(const QUrl &sourceURL, const CompressionSettings &settings = {}) const;
    static Expected<const CompressionBackend *> backendForFormat(const Backends &backends, const ImageFormat &format);

private:
    CompressionResult compressFile(const QUrl &sourceURL, const Backends &backends,
                                   const CompressionSettings &settings) const;
    Expected<CompressionArtifact> encode(const QUrl &sourceURL, const Backends &backends) const;

    ImageFormatDetector m_formatDetector;
    BackendFactory m_makeBackends;
    std::stop_source m_stop; // requested when the service goes
    std::unique_ptr<QThreadPool> m_executor;
};
