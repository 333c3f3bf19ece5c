// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "CompressionResultListModel.h"
#include "CompressionService.h"

#include <QElapsedTimer>
#include <QFutureWatcher>
#include <QObject>
#include <QUrl>
#include <QtQml/qqmlregistration.h>

#include <chrono>
#include <memory>
#include <stop_token>

namespace pressel {

// The batch controller behind the main window. A list of files becomes one batch; a new list
// cancels the running batch, empties the rows and starts afresh. Lives on the GUI thread; the
// service works off it, and each file's row is shown as soon as it is done, among the others
// in the order of the files.
class CompressionViewModel : public QObject
{
    Q_OBJECT
    QML_ELEMENT
    QML_UNCREATABLE("The application owns the batch controller.")
    Q_PROPERTY(CompressionResultListModel *results READ results CONSTANT FINAL)
    Q_PROPERTY(bool isProcessing READ isProcessing NOTIFY isProcessingChanged FINAL)
    Q_PROPERTY(bool isDropTargeted READ isDropTargeted WRITE setDropTargeted NOTIFY isDropTargetedChanged FINAL)
    // Where a file chooser starts: the folder of the last batch's first item, else Pictures.
    Q_PROPERTY(QUrl openFolderURL READ openFolderURL NOTIFY openFolderURLChanged FINAL)
    Q_PROPERTY(int completedCount READ completedCount NOTIFY progressChanged FINAL)
    Q_PROPERTY(int totalCount READ totalCount NOTIFY progressChanged FINAL)
    // The name of one file being compressed; empty when none is.
    Q_PROPERTY(QString fileInHandName READ fileInHandName NOTIFY progressChanged FINAL)
    // True from a stop until the stopped batch's files in hand have finished.
    Q_PROPERTY(bool isStopping READ isStopping NOTIFY isStoppingChanged FINAL)
    // The files a stopped batch left untouched, which continueRemaining() takes up; 0 unless the
    // rows shown are of a stopped batch.
    Q_PROPERTY(int unprocessedCount READ unprocessedCount NOTIFY summaryChanged FINAL)
    // The totals line of the rows shown; empty while there are none.
    Q_PROPERTY(QString totalsText READ totalsText NOTIFY summaryChanged FINAL)

public:
    explicit CompressionViewModel(std::unique_ptr<CompressionService> compressionService, QObject *parent = nullptr);
    ~CompressionViewModel() override;

    CompressionResultListModel *results() { return &m_results; }
    bool isProcessing() const { return m_isProcessing; }
    bool isDropTargeted() const { return m_isDropTargeted; }
    void setDropTargeted(bool targeted);
    QUrl openFolderURL() const;
    int completedCount() const { return int(m_progress.completedCount); }
    int totalCount() const { return int(m_progress.totalCount); }
    QString fileInHandName() const;
    bool isStopping() const { return m_isStopping; }
    int unprocessedCount() const { return m_unprocessedCount; }
    QString totalsText() const { return m_totalsText; }

    // The one way in for files, wherever they come from (a drop, the file chooser, the
    // clipboard, the command line, a later launch, the file manager): the local files among the
    // URLs become the new batch, a folder standing for its images. True when a batch was
    // started; false, with nothing changed, when no URL was a local file.
    Q_INVOKABLE bool openFiles(const QList<QUrl> &urls);
    // Cancels whatever runs and empties the window.
    Q_INVOKABLE void clearResults();
    // Ends the running batch early: the files in hand finish, nothing new starts, and their rows
    // are shown with a count of the files left untouched.
    Q_INVOKABLE void stop();
    // Compresses the files a stopped batch left untouched, their rows joining those shown. False
    // when there are none, or a batch runs.
    Q_INVOKABLE bool continueRemaining();

signals:
    void isProcessingChanged();
    void isDropTargetedChanged();
    void openFolderURLChanged();
    void progressChanged();
    void isStoppingChanged();
    void summaryChanged();
    // A batch ran to its end (not stopped, not replaced), after `duration`.
    void batchFinished(const QList<CompressionResult> &results, std::chrono::milliseconds duration);

private:
    using BatchWatcher = QFutureWatcher<QList<CompressionResult>>;

    void setProcessing(bool processing);
    void setStopping(bool stopping);
    void setProgress(const CompressionProgress &progress);
    void setSummary(const QList<CompressionResult> &results, int unprocessedCount);
    void startBatch(const QList<QUrl> &fileURLs);
    void showRow(qsizetype place, const CompressionResult &row);
    void finishBatch(BatchWatcher *watcher);
    void discardCompressionTask();

    std::unique_ptr<CompressionService> m_compressionService;
    CompressionResultListModel m_results;
    // Each row's place among the rows of the batches shown, ascending like the rows.
    QList<qsizetype> m_rowPlaces;
    qsizetype m_firstPlace = 0; // the running batch's first place
    QList<QUrl> m_remaining;    // what a stopped batch left untouched
    QList<CompressionResult> m_leftOut; // counted in the totals, not shown
    // The running batch, a child of this object; null when no batch runs.
    BatchWatcher *m_compressionTask = nullptr;
    std::stop_source m_stopSource;
    quint64 m_batchNumber = 0; // tells the running batch's progress from a discarded one's
    CompressionProgress m_progress;
    QString m_totalsText;
    int m_unprocessedCount = 0;
    bool m_isStopping = false;
    bool m_isDropTargeted = false;
    bool m_isProcessing = false;
    QUrl m_lastBatchFolder;
    QElapsedTimer m_batchClock;
};

} // namespace pressel
