#pragma once

#include "CompressionResultListModel.h"
#include "CompressionService.h"

#include <QFutureWatcher>
#include <QObject>
#include <QUrl>

#include <memory>

// The batch controller behind the main window. A list of files becomes one batch; a new list
// cancels the running batch, empties the rows and starts afresh. Lives on the GUI thread; the
// service works off it and the rows are published all at once when a batch ends uncancelled.
class CompressionViewModel : public QObject
{
    Q_OBJECT
    Q_PROPERTY(CompressionResultListModel *results READ results CONSTANT FINAL)
    Q_PROPERTY(bool isProcessing READ isProcessing NOTIFY isProcessingChanged FINAL)
    Q_PROPERTY(bool isDropTargeted READ isDropTargeted WRITE setDropTargeted NOTIFY isDropTargetedChanged FINAL)
    // Where a file chooser starts: the folder of the last batch's first item, else Pictures.
    Q_PROPERTY(QUrl openFolderURL READ openFolderURL NOTIFY openFolderURLChanged FINAL)
    // The image patterns a file chooser offers ("*.jpg", ...): the ones a folder contributes.
    Q_PROPERTY(QStringList imageNameFilters READ imageNameFilters CONSTANT FINAL)

public:
    explicit CompressionViewModel(std::unique_ptr<CompressionService> compressionService, QObject *parent = nullptr);
    ~CompressionViewModel() override;

    CompressionResultListModel *results() { return &m_results; }
    bool isProcessing() const { return m_isProcessing; }
    bool isDropTargeted() const { return m_isDropTargeted; }
    void setDropTargeted(bool targeted);
    QUrl openFolderURL() const;
    QStringList imageNameFilters() const;

    // True when a batch was started; false, with nothing changed, when no URL was a file URL.
    // Dropped, opened and pasted files all come this way; a folder stands for its images.
    Q_INVOKABLE bool handleDroppedFiles(const QList<QUrl> &urls);
    // Cancels whatever runs and empties the window.
    Q_INVOKABLE void clearResults();
    // Where Escape goes while a batch runs. A batch cannot be stopped short of cancelling it
    // yet, and cancelling would throw away the rows the user is waiting for, so this does nothing.
    Q_INVOKABLE void stopBatch() {}

signals:
    void isProcessingChanged();
    void isDropTargetedChanged();
    void openFolderURLChanged();

private:
    using BatchWatcher = QFutureWatcher<QList<CompressionResult>>;

    void setProcessing(bool processing);
    void finishBatch(BatchWatcher *watcher);
    void discardCompressionTask();

    std::unique_ptr<CompressionService> m_compressionService;
    CompressionResultListModel m_results;
    // The running batch, a child of this object; null when no batch runs.
    BatchWatcher *m_compressionTask = nullptr;
    bool m_isDropTargeted = false;
    bool m_isProcessing = false;
    QUrl m_lastBatchFolder;
};
