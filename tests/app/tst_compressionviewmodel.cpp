// The batch controller with the real service on real files. Batches that must overlap run
// through a bundle whose cjpeg holds each JPEG until the test opens a gate, so the order of
// events is fixed by the test, never by timing.

#include "AppTestSupport.h"
#include "CompressionViewModel.h"
#include "StandardCompressionService.h"
#include "TestImages.h"

#include <QDir>
#include <QFileInfo>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

using namespace AppTestSupport;

namespace {

// Generous: only a broken build ever waits this long.
constexpr int batchTimeoutMs = 60'000;

QUrl fileURL(const QString &path)
{
    return QUrl::fromLocalFile(path);
}

QStringList outputPaths(const CompressionResultListModel &model)
{
    QStringList paths;
    for (const CompressionResult &result : model.results())
        paths.append(result.outputURL ? result.outputURL->toLocalFile() : QString());
    return paths;
}

QStringList sourcePaths(const CompressionResultListModel &model)
{
    QStringList paths;
    for (const CompressionResult &result : model.results())
        paths.append(result.sourceURL.toLocalFile());
    return paths;
}

// Every signal by which the controller tells its observers something.
struct Observers {
    explicit Observers(CompressionViewModel &viewModel)
        : isProcessing(&viewModel, &CompressionViewModel::isProcessingChanged)
        , isDropTargeted(&viewModel, &CompressionViewModel::isDropTargetedChanged)
        , resultsReset(viewModel.results(), &QAbstractItemModel::modelReset)
        , resultsInserted(viewModel.results(), &QAbstractItemModel::rowsInserted)
        , resultsRemoved(viewModel.results(), &QAbstractItemModel::rowsRemoved)
        , count(viewModel.results(), &CompressionResultListModel::countChanged)
    {}

    int total() const
    {
        return int(isProcessing.size() + isDropTargeted.size() + resultsReset.size() + resultsInserted.size() +
                   resultsRemoved.size() + count.size());
    }

    QSignalSpy isProcessing;
    QSignalSpy isDropTargeted;
    QSignalSpy resultsReset;
    QSignalSpy resultsInserted;
    QSignalSpy resultsRemoved;
    QSignalSpy count;
};

} // namespace

class tst_CompressionViewModel : public QObject
{
    Q_OBJECT

private:
    // A controller whose JPEGs wait for the gate; the raw service lets a test queue a batch
    // of its own behind the controller's, which returns only after the controller's has.
    struct GatedController {
        QString gatePrefix;
        QString startedLogPath;
        CompressionService *service = nullptr;
        std::unique_ptr<CompressionViewModel> viewModel;
    };

    GatedController makeGatedController()
    {
        GatedController controller;
        controller.gatePrefix = m_folder->filePath(QStringLiteral("gate-"));
        controller.startedLogPath = m_folder->filePath(QStringLiteral("started.log"));
        auto service = makeStandardCompressionService(gatedBundle(m_folder->filePath(QStringLiteral("bundle")),
                                                                  controller.gatePrefix, controller.startedLogPath));
        controller.service = service.get();
        controller.viewModel = std::make_unique<CompressionViewModel>(std::move(service));
        return controller;
    }

    // Waits until the gated cjpeg has been started `runs` times in all.
    bool waitForStartedRuns(const GatedController &controller, qsizetype runs)
    {
        return QTest::qWaitFor([&] { return readLines(controller.startedLogPath).size() >= runs; }, batchTimeoutMs);
    }

    // True once every batch handed to the service so far has returned and its events have
    // been delivered. Polled rather than waited for: waitForFinished() would run the queued
    // empty batch on this thread at once, ahead of the ones before it.
    bool drainService(const GatedController &controller)
    {
        const QFuture<QList<CompressionResult>> barrier = controller.service->compressFiles(QList<QUrl>());
        if (!QTest::qWaitFor([&] { return barrier.isFinished(); }, batchTimeoutMs))
            return false;
        QCoreApplication::sendPostedEvents();
        QCoreApplication::processEvents();
        return true;
    }

    QString photo(const QString &name, quint32 seed = 1)
    {
        const QString path = m_folder->filePath(name);
        TestImages::write(TestImages::photo(320, 240, seed), path, "jpeg", 98);
        return path;
    }

    std::optional<QTemporaryDir> m_folder;

private slots:
    void init()
    {
        m_folder.emplace();
        QVERIFY(m_folder->isValid());
    }

    void cleanup() { m_folder.reset(); }

    void startsIdle()
    {
        CompressionViewModel viewModel(makeStandardCompressionService(buildBundle()));
        QVERIFY(!viewModel.isProcessing());
        QVERIFY(!viewModel.isDropTargeted());
        QCOMPARE(viewModel.results()->count(), 0);
    }

    void dropWithoutFileURLsChangesNothing_data()
    {
        QTest::addColumn<QList<QUrl>>("urls");
        QTest::newRow("empty list") << QList<QUrl>();
        QTest::newRow("web address") << QList<QUrl>{QUrl(QStringLiteral("https://example.com/a.jpg"))};
        QTest::newRow("mail and web") << QList<QUrl>{QUrl(QStringLiteral("mailto:someone@example.com")),
                                                     QUrl(QStringLiteral("http://example.com/b.png"))};
        QTest::newRow("path without scheme") << QList<QUrl>{QUrl(QStringLiteral("photo.jpg"))};
    }

    void dropWithoutFileURLsChangesNothing()
    {
        QFETCH(QList<QUrl>, urls);
        CompressionViewModel viewModel(makeStandardCompressionService(buildBundle()));
        Observers observers(viewModel);
        LogCapture log;

        QVERIFY(!viewModel.handleDroppedFiles(urls));

        QCOMPARE(observers.total(), 0);
        QVERIFY(!viewModel.isProcessing());
        QCOMPARE(viewModel.results()->count(), 0);
        QCOMPARE(log.lines().size(), 0);
    }

    void dropWithoutFileURLsLeavesRunningBatchAlone()
    {
        const QString source = photo(QStringLiteral("photo.jpg"));
        GatedController controller = makeGatedController();
        CompressionViewModel &viewModel = *controller.viewModel;
        QVERIFY(viewModel.handleDroppedFiles({fileURL(source)}));
        QVERIFY(waitForStartedRuns(controller, 1));
        Observers observers(viewModel);
        LogCapture log;

        QVERIFY(!viewModel.handleDroppedFiles({QUrl(QStringLiteral("https://example.com/a.jpg"))}));
        QCOMPARE(observers.total(), 0);
        QCOMPARE(log.messages(QStringLiteral("Compression")), QStringList());
        QVERIFY(viewModel.isProcessing());

        openGate(controller.gatePrefix, 1);
        QTRY_VERIFY_WITH_TIMEOUT(!viewModel.isProcessing(), batchTimeoutMs);
        QCOMPARE(sourcePaths(*viewModel.results()), QStringList{source});
        QCOMPARE(viewModel.results()->results().first().status, CompressionResultStatus::success);
    }

    void dropKeepsFileURLsInOrder()
    {
        const QString first = photo(QStringLiteral("first.jpg"), 1);
        const QString second = photo(QStringLiteral("second.jpg"), 2);
        CompressionViewModel viewModel(makeStandardCompressionService(buildBundle()));

        QVERIFY(viewModel.handleDroppedFiles({QUrl(QStringLiteral("https://example.com/x.jpg")), fileURL(second),
                                              QUrl(QStringLiteral("ftp://example.com/y.png")), fileURL(first)}));
        QTRY_VERIFY_WITH_TIMEOUT(!viewModel.isProcessing(), batchTimeoutMs);

        QCOMPARE(sourcePaths(*viewModel.results()), (QStringList{second, first}));
    }

    void dropLogsCountAndPaths()
    {
        const QString jpeg = photo(QStringLiteral("photo one.jpg"));
        const QString png = m_folder->filePath(QStringLiteral("graphic.png"));
        TestImages::write(TestImages::transparentGraphic(200, 160), png, "png");
        CompressionViewModel viewModel(makeStandardCompressionService(buildBundle()));
        LogCapture log;

        QVERIFY(viewModel.handleDroppedFiles({fileURL(jpeg), fileURL(png)}));
        QTRY_VERIFY_WITH_TIMEOUT(!viewModel.isProcessing(), batchTimeoutMs);

        const QStringList lines = log.messages(QStringLiteral("Compression"));
        QCOMPARE(lines, QStringList{QStringLiteral("handleDroppedFiles received 2 file(s): ") + jpeg +
                                    QStringLiteral(", ") + png});
        QCOMPARE(log.lines().first().type, QtInfoMsg);
    }

    void batchPublishesAllRowsInOneChange()
    {
        const QString first = photo(QStringLiteral("first.jpg"), 1);
        const QString second = photo(QStringLiteral("second.jpg"), 2);
        CompressionViewModel viewModel(makeStandardCompressionService(buildBundle()));
        Observers observers(viewModel);

        QVERIFY(viewModel.handleDroppedFiles({fileURL(first), fileURL(second)}));
        QCOMPARE(observers.isProcessing.size(), 1);
        QVERIFY(viewModel.isProcessing());
        QCOMPARE(viewModel.results()->count(), 0);
        QTRY_VERIFY_WITH_TIMEOUT(!viewModel.isProcessing(), batchTimeoutMs);

        QCOMPARE(observers.isProcessing.size(), 2);
        QCOMPARE(observers.resultsInserted.size(), 1);
        QCOMPARE(observers.resultsInserted.first().at(1).toInt(), 0);
        QCOMPARE(observers.resultsInserted.first().at(2).toInt(), 1);
        QCOMPARE(observers.count.size(), 1);
        QCOMPARE(sourcePaths(*viewModel.results()), (QStringList{first, second}));
    }

    void sameFileTwiceGivesTwoRowsAndTwoOutputs()
    {
        const QString source = photo(QStringLiteral("photo.jpg"));
        const QByteArray sourceHash = TestImages::sha256(source);
        CompressionViewModel viewModel(makeStandardCompressionService(buildBundle()));

        QVERIFY(viewModel.handleDroppedFiles({fileURL(source), fileURL(source)}));
        QTRY_VERIFY_WITH_TIMEOUT(!viewModel.isProcessing(), batchTimeoutMs);

        const QList<CompressionResult> &rows = viewModel.results()->results();
        QCOMPARE(rows.size(), 2);
        QCOMPARE(sourcePaths(*viewModel.results()), (QStringList{source, source}));
        QVERIFY(rows.at(0).id != rows.at(1).id);
        QCOMPARE(rows.at(0).status, CompressionResultStatus::success);
        QCOMPARE(rows.at(1).status, CompressionResultStatus::success);
        QCOMPARE(outputPaths(*viewModel.results()), (QStringList{m_folder->filePath(QStringLiteral("photo-1.jpg")),
                                                                 m_folder->filePath(QStringLiteral("photo-2.jpg"))}));
        QVERIFY(QFileInfo::exists(m_folder->filePath(QStringLiteral("photo-1.jpg"))));
        QVERIFY(QFileInfo::exists(m_folder->filePath(QStringLiteral("photo-2.jpg"))));
        QCOMPARE(TestImages::sha256(source), sourceHash);
    }

    void secondDropReplacesRunningBatch()
    {
        const QString held = photo(QStringLiteral("held.jpg"), 1);
        const QString neverStarted = photo(QStringLiteral("never.jpg"), 2);
        const QString replacement = photo(QStringLiteral("replacement.jpg"), 3);
        GatedController controller = makeGatedController();
        CompressionViewModel &viewModel = *controller.viewModel;
        Observers observers(viewModel);

        QVERIFY(viewModel.handleDroppedFiles({fileURL(held), fileURL(neverStarted)}));
        QVERIFY(waitForStartedRuns(controller, 1));
        QCOMPARE(observers.isProcessing.size(), 1);
        const qsizetype resetsBefore = observers.resultsReset.size();

        QVERIFY(viewModel.handleDroppedFiles({fileURL(replacement)}));
        // Emptied at once; still processing, and nobody is told so again.
        QCOMPARE(observers.resultsReset.size(), resetsBefore + 1);
        QCOMPARE(viewModel.results()->count(), 0);
        QVERIFY(viewModel.isProcessing());
        QCOMPARE(observers.isProcessing.size(), 1);

        openGate(controller.gatePrefix, 1);
        openGate(controller.gatePrefix, 2);
        QTRY_VERIFY_WITH_TIMEOUT(!viewModel.isProcessing(), batchTimeoutMs);

        QCOMPARE(sourcePaths(*viewModel.results()), QStringList{replacement});
        QCOMPARE(observers.resultsInserted.size(), 1);
        QCOMPARE(observers.isProcessing.size(), 2);
        // The file in hand was finished and its output stays; the next one was never begun.
        QCOMPARE(readLines(controller.startedLogPath),
                 (QStringList{m_folder->filePath(QStringLiteral("held-1.jpg")),
                              m_folder->filePath(QStringLiteral("replacement-1.jpg"))}));
        QVERIFY(QFileInfo::exists(m_folder->filePath(QStringLiteral("held-1.jpg"))));
        QVERIFY(!QFileInfo::exists(m_folder->filePath(QStringLiteral("never-1.jpg"))));
    }

    void clearDuringBatchReturnsToIdle()
    {
        const QString held = photo(QStringLiteral("held.jpg"));
        GatedController controller = makeGatedController();
        CompressionViewModel &viewModel = *controller.viewModel;
        QVERIFY(viewModel.handleDroppedFiles({fileURL(held)}));
        QVERIFY(waitForStartedRuns(controller, 1));
        Observers observers(viewModel);

        viewModel.clearResults();
        QVERIFY(!viewModel.isProcessing());
        QCOMPARE(observers.isProcessing.size(), 1);
        QCOMPARE(observers.resultsReset.size(), 1);
        QCOMPARE(viewModel.results()->count(), 0);

        openGate(controller.gatePrefix, 1);
        QVERIFY(drainService(controller));

        QCOMPARE(observers.total(), 2);
        QVERIFY(!viewModel.isProcessing());
        QCOMPARE(viewModel.results()->count(), 0);
        QVERIFY(QFileInfo::exists(m_folder->filePath(QStringLiteral("held-1.jpg"))));
    }

    void lateReturnOfReplacedBatchChangesNothing()
    {
        const QString held = photo(QStringLiteral("held.jpg"), 1);
        const QString replacement = photo(QStringLiteral("replacement.jpg"), 2);
        GatedController controller = makeGatedController();
        CompressionViewModel &viewModel = *controller.viewModel;
        QVERIFY(viewModel.handleDroppedFiles({fileURL(held)}));
        QVERIFY(waitForStartedRuns(controller, 1));
        QVERIFY(viewModel.handleDroppedFiles({fileURL(replacement)}));
        Observers observers(viewModel);

        // The old batch has returned once the new one's file is in hand, held at its gate.
        openGate(controller.gatePrefix, 1);
        QVERIFY(waitForStartedRuns(controller, 2));
        QCoreApplication::sendPostedEvents();
        QCoreApplication::processEvents();
        QCOMPARE(observers.total(), 0);
        QVERIFY(viewModel.isProcessing());

        openGate(controller.gatePrefix, 2);
        QTRY_VERIFY_WITH_TIMEOUT(!viewModel.isProcessing(), batchTimeoutMs);
        QCOMPARE(sourcePaths(*viewModel.results()), QStringList{replacement});
    }

    void clearWhenIdleOnlyRewritesResults()
    {
        CompressionViewModel viewModel(makeStandardCompressionService(buildBundle()));
        Observers observers(viewModel);

        viewModel.clearResults();

        QCOMPARE(observers.resultsReset.size(), 1);
        QCOMPARE(observers.total(), 1);
    }

    void clearAfterBatchEmptiesRows()
    {
        const QString source = photo(QStringLiteral("photo.jpg"));
        CompressionViewModel viewModel(makeStandardCompressionService(buildBundle()));
        QVERIFY(viewModel.handleDroppedFiles({fileURL(source)}));
        QTRY_VERIFY_WITH_TIMEOUT(!viewModel.isProcessing(), batchTimeoutMs);
        QSignalSpy count(viewModel.results(), &CompressionResultListModel::countChanged);
        QSignalSpy processing(&viewModel, &CompressionViewModel::isProcessingChanged);

        viewModel.clearResults();

        QCOMPARE(viewModel.results()->count(), 0);
        QCOMPARE(count.size(), 1);
        QCOMPARE(processing.size(), 0);
    }

    void dropTargetedNotifiesOnlyOnChange_data()
    {
        QTest::addColumn<QList<bool>>("writes");
        QTest::addColumn<int>("notifications");
        QTest::newRow("same as initial") << QList<bool>{false} << 0;
        QTest::newRow("on") << QList<bool>{true} << 1;
        QTest::newRow("on twice") << QList<bool>{true, true} << 1;
        QTest::newRow("on, off") << QList<bool>{true, false} << 2;
        QTest::newRow("on, off, off") << QList<bool>{true, false, false} << 2;
        QTest::newRow("on, on, off, on") << QList<bool>{true, true, false, true} << 3;
    }

    void dropTargetedNotifiesOnlyOnChange()
    {
        QFETCH(QList<bool>, writes);
        QFETCH(int, notifications);
        CompressionViewModel viewModel(makeStandardCompressionService(buildBundle()));
        QSignalSpy spy(&viewModel, &CompressionViewModel::isDropTargetedChanged);

        for (const bool targeted : writes)
            viewModel.setDropTargeted(targeted);

        QCOMPARE(spy.size(), notifications);
        QCOMPARE(viewModel.isDropTargeted(), writes.last());
    }

    void dropTargetedIsNeverWrittenByBatches()
    {
        const QString source = photo(QStringLiteral("photo.jpg"));
        CompressionViewModel viewModel(makeStandardCompressionService(buildBundle()));
        viewModel.setDropTargeted(true);
        QSignalSpy spy(&viewModel, &CompressionViewModel::isDropTargetedChanged);

        QVERIFY(viewModel.handleDroppedFiles({fileURL(source)}));
        viewModel.clearResults();
        QVERIFY(viewModel.handleDroppedFiles({fileURL(source)}));
        QTRY_VERIFY_WITH_TIMEOUT(!viewModel.isProcessing(), batchTimeoutMs);

        QCOMPARE(spy.size(), 0);
        QVERIFY(viewModel.isDropTargeted());
    }

    void missingFileBecomesARow()
    {
        const QString missing = m_folder->filePath(QStringLiteral("missing.jpg"));
        CompressionViewModel viewModel(makeStandardCompressionService(buildBundle()));

        QVERIFY(viewModel.handleDroppedFiles({fileURL(missing)}));
        QTRY_VERIFY_WITH_TIMEOUT(!viewModel.isProcessing(), batchTimeoutMs);

        QCOMPARE(viewModel.results()->count(), 1);
        QCOMPARE(viewModel.results()->results().first().status, CompressionResultStatus::failed);
        QCOMPARE(QDir(m_folder->path()).entryList(QDir::Files), QStringList());
    }
};

QTEST_GUILESS_MAIN(tst_CompressionViewModel)
#include "tst_compressionviewmodel.moc"
