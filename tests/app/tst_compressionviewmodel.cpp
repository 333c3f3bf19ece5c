// The batch controller with the real service on real files, and the rows it publishes. Batches
// that must overlap run through a bundle whose cjpeg holds each JPEG until the test opens a
// gate, so the order of events is fixed by the test, never by timing.

#include "AppTestSupport.h"
#include "CompressionViewModel.h"
#include "StandardCompressionService.h"
#include "TestImages.h"

#include <QAbstractItemModelTester>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;
using namespace AppTestSupport;

namespace {

// Generous: only a broken build ever waits this long.
constexpr int batchTimeoutMs = 60'000;

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

    qsizetype total() const
    {
        return isProcessing.size() + isDropTargeted.size() + resultsReset.size() + resultsInserted.size() +
               resultsRemoved.size() + count.size();
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
    // A controller whose JPEGs wait for the gate; the raw service lets a test queue a batch of
    // its own behind the controller's, which returns only after the controller's has.
    struct GatedController {
        QString gatePrefix;
        QString startedLogPath;
        CompressionService *service = nullptr;
        std::unique_ptr<CompressionViewModel> viewModel = {};
    };

    GatedController makeGatedController(int workerCount = 1)
    {
        GatedController controller{m_folder->filePath(u"gate-"_s), m_folder->filePath(u"started.log"_s)};
        auto service = makeStandardCompressionService(
            gatedBundle(m_folder->filePath(u"bundle"_s), controller.gatePrefix, controller.startedLogPath));
        service->setWorkerCount(workerCount);
        controller.service = service.get();
        controller.viewModel = std::make_unique<CompressionViewModel>(std::move(service));
        return controller;
    }

    // Waits until the gated cjpeg has been started `runs` times in all.
    bool waitForStartedRuns(const GatedController &controller, qsizetype runs)
    {
        return QTest::qWaitFor([&] { return readLines(controller.startedLogPath).size() >= runs; }, batchTimeoutMs);
    }

    // True once every batch handed to the service so far has returned and its events have been
    // delivered. Polled: waitForFinished() would run the queued empty batch on this thread at
    // once, ahead of the ones before it.
    bool drainService(const GatedController &controller)
    {
        const auto barrier = controller.service->compressFiles(QList<QUrl>());
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

    QString path(const QString &name) const { return m_folder->filePath(name); }

    std::optional<QTemporaryDir> m_folder;

private slots:
    void init() { m_folder.emplace(); }
    void cleanup() { m_folder.reset(); }

    void dropWithoutFileURLsChangesNothing_data()
    {
        QTest::addColumn<QList<QUrl>>("urls");
        QTest::newRow("empty list") << QList<QUrl>();
        QTest::newRow("web address") << QList<QUrl>{QUrl(u"https://example.com/a.jpg"_s)};
        QTest::newRow("mail and web") << QList<QUrl>{QUrl(u"mailto:someone@example.com"_s),
                                                     QUrl(u"http://e.com/b.png"_s)};
        QTest::newRow("path without scheme") << QList<QUrl>{QUrl(u"photo.jpg"_s)};
    }

    void dropWithoutFileURLsChangesNothing()
    {
        QFETCH(QList<QUrl>, urls);
        CompressionViewModel viewModel(makeStandardCompressionService(buildBundle()));
        Observers observers(viewModel);
        const LogCapture log;

        QVERIFY(!viewModel.handleDroppedFiles(urls));
        QCOMPARE(observers.total(), 0);
        QVERIFY(!viewModel.isProcessing());
        QCOMPARE(log.lines().size(), 0);
    }

    void batchKeepsFilesInOrderLogsThemAndPublishesOnce()
    {
        const QString jpeg = photo(u"photo one.jpg"_s);
        const QString png = path(u"graphic.png"_s);
        TestImages::write(TestImages::transparentGraphic(200, 160), png, "png");
        CompressionViewModel viewModel(makeStandardCompressionService(buildBundle()));
        QAbstractItemModelTester tester(viewModel.results(), QAbstractItemModelTester::FailureReportingMode::QtTest);
        Observers observers(viewModel);
        const LogCapture log({u"Compression"_s});

        QVERIFY(viewModel.handleDroppedFiles({QUrl(u"https://example.com/x.jpg"_s), QUrl::fromLocalFile(png),
                                              QUrl(u"ftp://example.com/y.png"_s), QUrl::fromLocalFile(jpeg)}));
        QCOMPARE(observers.isProcessing.size(), 1);
        QVERIFY(viewModel.isProcessing());
        QCOMPARE(viewModel.results()->count(), 0);
        QTRY_VERIFY_WITH_TIMEOUT(!viewModel.isProcessing(), batchTimeoutMs);

        QCOMPARE(log.lines(), (QList<LogLine>{{QtInfoMsg, u"Compression"_s,
                                               u"handleDroppedFiles received 2 file(s): %1, %2"_s.arg(png, jpeg)}}));
        QCOMPARE(sourcePaths(*viewModel.results()), (QStringList{png, jpeg}));
        QCOMPARE(observers.isProcessing.size(), 2);
        QCOMPARE(observers.resultsInserted.size(), 1);
        QCOMPARE(observers.count.size(), 1);
    }

    void sameFileTwiceGivesTwoRowsAndTwoOutputs()
    {
        const QString source = photo(u"photo.jpg"_s);
        const QByteArray sourceHash = TestImages::sha256(source);
        CompressionViewModel viewModel(makeStandardCompressionService(buildBundle()));

        QVERIFY(viewModel.handleDroppedFiles({QUrl::fromLocalFile(source), QUrl::fromLocalFile(source)}));
        QTRY_VERIFY_WITH_TIMEOUT(!viewModel.isProcessing(), batchTimeoutMs);

        const QList<CompressionResult> &rows = viewModel.results()->results();
        QCOMPARE(rows.size(), 2);
        QVERIFY(rows.at(0).id != rows.at(1).id);
        for (int index = 0; index < 2; ++index) {
            QCOMPARE(rows.at(index).sourceURL, QUrl::fromLocalFile(source));
            const QString output = path(u"photo-%1.jpg"_s.arg(index + 1));
            QCOMPARE(rows.at(index).outputURL, std::optional(QUrl::fromLocalFile(output)));
            QVERIFY(QFileInfo::exists(output));
        }
        QCOMPARE(TestImages::sha256(source), sourceHash);
    }

    void secondDropReplacesRunningBatch()
    {
        const QString held = photo(u"held.jpg"_s, 1);
        const QString neverStarted = photo(u"never.jpg"_s, 2);
        const QString replacement = photo(u"replacement.jpg"_s, 3);
        GatedController controller = makeGatedController();
        CompressionViewModel &viewModel = *controller.viewModel;
        Observers observers(viewModel);

        QVERIFY(viewModel.handleDroppedFiles({QUrl::fromLocalFile(held), QUrl::fromLocalFile(neverStarted)}));
        QVERIFY(waitForStartedRuns(controller, 1));
        // A drop without files leaves the running batch alone.
        QVERIFY(!viewModel.handleDroppedFiles({QUrl(u"https://example.com/a.jpg"_s)}));
        QCOMPARE(observers.isProcessing.size(), 1);
        const qsizetype resetsBefore = observers.resultsReset.size();

        QVERIFY(viewModel.handleDroppedFiles({QUrl::fromLocalFile(replacement)}));
        // Emptied at once; still processing, and nobody is told so again.
        QCOMPARE(observers.resultsReset.size(), resetsBefore + 1);
        QCOMPARE(viewModel.results()->count(), 0);
        QVERIFY(viewModel.isProcessing());
        QCOMPARE(observers.isProcessing.size(), 1);

        // The old batch returns while the new one's file is held: that changes nothing.
        openGate(controller.gatePrefix, 1);
        QVERIFY(waitForStartedRuns(controller, 2));
        QCoreApplication::sendPostedEvents();
        QCoreApplication::processEvents();
        QCOMPARE(observers.resultsInserted.size(), 0);
        QVERIFY(viewModel.isProcessing());

        openGate(controller.gatePrefix, 2);
        QTRY_VERIFY_WITH_TIMEOUT(!viewModel.isProcessing(), batchTimeoutMs);
        QCOMPARE(sourcePaths(*viewModel.results()), QStringList{replacement});
        QCOMPARE(observers.resultsInserted.size(), 1);
        QCOMPARE(observers.isProcessing.size(), 2);
        // The file in hand was finished and its output stays; the next one was never begun.
        QCOMPARE(readLines(controller.startedLogPath),
                 (QStringList{path(u"held-1.jpg"_s), path(u"replacement-1.jpg"_s)}));
        QVERIFY(QFileInfo::exists(path(u"held-1.jpg"_s)));
        QVERIFY(!QFileInfo::exists(path(u"never-1.jpg"_s)));
    }

    void clearDuringBatchReturnsToIdleAndTheLateReturnChangesNothing()
    {
        GatedController controller = makeGatedController();
        CompressionViewModel &viewModel = *controller.viewModel;
        QVERIFY(viewModel.handleDroppedFiles({QUrl::fromLocalFile(photo(u"held.jpg"_s))}));
        QVERIFY(waitForStartedRuns(controller, 1));
        Observers observers(viewModel);

        viewModel.clearResults();
        QVERIFY(!viewModel.isProcessing());
        QCOMPARE(observers.isProcessing.size(), 1);
        QCOMPARE(observers.resultsReset.size(), 1);

        openGate(controller.gatePrefix, 1);
        QVERIFY(drainService(controller));
        QCOMPARE(observers.total(), 2);
        QCOMPARE(viewModel.results()->count(), 0);
        QVERIFY(QFileInfo::exists(path(u"held-1.jpg"_s)));

        // Idle, clearing tells the views once and touches nothing else.
        viewModel.clearResults();
        QCOMPARE(observers.resultsReset.size(), 2);
        QCOMPARE(observers.total(), 3);
    }

    // Two files held by the tool at once when the stop comes: both finish, nothing else starts,
    // and the rows are theirs in file order, under a count of the files left untouched.
    void stopFinishesTheFilesInHandAndShowsTheirRows()
    {
        const QStringList names{u"a.jpg"_s, u"b.jpg"_s, u"c.jpg"_s, u"d.jpg"_s};
        QList<QUrl> urls;
        for (const QString &name : names)
            urls.append(QUrl::fromLocalFile(photo(name, quint32(urls.size() + 1))));
        GatedController controller = makeGatedController(2);
        CompressionViewModel &viewModel = *controller.viewModel;
        QSignalSpy progress(&viewModel, &CompressionViewModel::progressChanged);

        QVERIFY(viewModel.handleDroppedFiles(urls));
        QCOMPARE(viewModel.totalCount(), 4);
        QCOMPARE(viewModel.completedCount(), 0);
        QVERIFY(waitForStartedRuns(controller, 2));
        QTRY_VERIFY(!viewModel.fileInHandName().isEmpty());
        viewModel.stop();
        QVERIFY(viewModel.isStopping());
        QVERIFY(viewModel.isProcessing());

        // The tool numbers its runs from its log, so two that start together may both wait
        // for the second gate.
        openGate(controller.gatePrefix, 1);
        openGate(controller.gatePrefix, 2);
        QTRY_VERIFY_WITH_TIMEOUT(!viewModel.isProcessing(), batchTimeoutMs);

        QCOMPARE(sourcePaths(*viewModel.results()), (QStringList{path(names[0]), path(names[1])}));
        QCOMPARE(viewModel.unprocessedCount(), 2);
        QCOMPARE(viewModel.completedCount(), 2);
        QVERIFY(!viewModel.isStopping());
        QVERIFY2(viewModel.totalsText().startsWith(u"2 个文件 · 节省 "_s), qPrintable(viewModel.totalsText()));
        QCOMPARE(readLines(controller.startedLogPath).size(), 2);
        for (const QString &output : {u"a-1.jpg"_s, u"b-1.jpg"_s})
            QVERIFY(QFileInfo::exists(path(output)));
        for (const QString &untouched : {u"c-1.jpg"_s, u"d-1.jpg"_s})
            QVERIFY(!QFileInfo::exists(path(untouched)));
        QVERIFY(progress.size() >= 2);

        // The next drop starts afresh: no stop line, no old count.
        QVERIFY(viewModel.handleDroppedFiles({urls[2]}));
        QCOMPARE(viewModel.unprocessedCount(), 0);
        QVERIFY(viewModel.totalsText().isEmpty());
        QCOMPARE(viewModel.totalCount(), 1);
        openGate(controller.gatePrefix, 3);
        QTRY_VERIFY_WITH_TIMEOUT(!viewModel.isProcessing(), batchTimeoutMs);
        QCOMPARE(sourcePaths(*viewModel.results()), QStringList{path(names[2])});
    }

    void dropTargetedNotifiesOnlyOnChange_data()
    {
        QTest::addColumn<QList<bool>>("writes");
        QTest::addColumn<int>("notifications");
        QTest::newRow("same as initial") << QList<bool>{false} << 0;
        QTest::newRow("on twice") << QList<bool>{true, true} << 1;
        QTest::newRow("on, on, off, on, on") << QList<bool>{true, true, false, true, true} << 3;
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
};

QTEST_GUILESS_MAIN(tst_CompressionViewModel)
#include "tst_compressionviewmodel.moc"
