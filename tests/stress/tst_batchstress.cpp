// SPDX-License-Identifier: GPL-3.0-or-later
// A hundred batches in quick succession, each cancelling the one before by a new drop or a clear,
// and a stop with two files in hand, through the real controller, service and encoders. The bundle's tools note each run
// and can be held before handing over to the real tool (TestFiles::heldToolsBundle), so which
// file is in hand is fixed by the test, never by timing. Every wait is bounded.

#include "CompressionViewModel.h"
#include "StandardCompressionService.h"
#include "TestFiles.h"
#include "TestImages.h"

#include <QDir>
#include <QFileInfo>
#include <QImageReader>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

using namespace pressel;

using namespace TestFiles;

namespace {

// Generous: only a broken build waits this long.
constexpr int waitTimeoutMs = 60'000;
constexpr int batchCount = 100;

// One batch of the stress: a photo for cjpeg, a graphic for pngquant and a text file under a
// JPEG name, which fails at inspection.
struct Batch {
    QString photo;
    QString graphic;
    QString notes;

    QList<QUrl> urls() const
    {
        return {QUrl::fromLocalFile(photo), QUrl::fromLocalFile(graphic), QUrl::fromLocalFile(notes)};
    }
};

} // namespace

class tst_BatchStress : public QObject
{
    Q_OBJECT

private:
    struct Controller {
        CompressionService *service = nullptr; // owned by the view model
        std::unique_ptr<CompressionViewModel> viewModel;
    };

    Controller makeController(int workerCount = 1)
    {
        Controller controller;
        auto service = makeStandardCompressionService(
            heldToolsBundle(m_sandbox->root() + QStringLiteral("/bundle"), startedLog(), holdFile()));
        // One worker unless told: most cases hold one file in hand and count on the next not
        // starting.
        service->setWorkerCount(workerCount);
        controller.service = service.get();
        controller.viewModel = std::make_unique<CompressionViewModel>(std::move(service));
        return controller;
    }

    QString startedLog() const { return m_sandbox->root() + QStringLiteral("/started.log"); }
    QString holdFile() const { return m_sandbox->root() + QStringLiteral("/hold"); }
    QString sourceFolder() const { return m_sandbox->root() + QStringLiteral("/images"); }

    void hold() { QVERIFY(writeFile(holdFile(), {})); }
    void release() { QVERIFY(QFile::remove(holdFile())); }

    bool waitForStartedRuns(qsizetype runs)
    {
        return QTest::qWaitFor([&] { return readLines(startedLog()).size() >= runs; }, waitTimeoutMs);
    }

    // True once every batch handed to the service so far has returned and its events have
    // been delivered. Polled: waitForFinished() would run the queued barrier on this thread.
    static bool drain(const Controller &controller)
    {
        const QFuture<QList<CompressionResult>> barrier = controller.service->compressFiles(QList<QUrl>());
        if (!QTest::qWaitFor([&] { return barrier.isFinished(); }, waitTimeoutMs))
            return false;
        QCoreApplication::sendPostedEvents();
        QCoreApplication::processEvents();
        return true;
    }

    QList<Batch> makeBatches(int count)
    {
        const QByteArray photo = TestImages::encode(TestImages::photo(160, 120), "jpeg", 98);
        const QByteArray graphic = TestImages::encode(TestImages::transparentGraphic(200, 160), "png");
        const QDir folder(sourceFolder());
        QList<Batch> batches;
        for (int index = 0; index < count; ++index) {
            const QString prefix = QStringLiteral("b%1-").arg(index, 3, 10, QChar(u'0'));
            Batch batch{folder.filePath(prefix + QStringLiteral("photo.jpg")),
                        folder.filePath(prefix + QStringLiteral("graphic.png")),
                        folder.filePath(prefix + QStringLiteral("notes.jpg"))};
            const QList<std::pair<QString, QByteArray>> files{
                {batch.photo, photo}, {batch.graphic, graphic}, {batch.notes, "not a picture\n"}};
            for (const auto &[path, bytes] : files) {
                if (!writeFile(path, bytes))
                    return {};
            }
            batches.append(batch);
        }
        return batches;
    }

    static QString outputOf(const QString &source)
    {
        const QFileInfo info(source);
        return info.dir().filePath(info.completeBaseName() + QStringLiteral("-1.") + info.suffix());
    }

    // The last batch's rows, in order: both pictures smaller, the text file failed.
    static void verifyLastBatchRows(CompressionViewModel &viewModel, const Batch &last)
    {
        QStringList shown; // "source status output"
        for (const CompressionResult &row : viewModel.results()->results())
            shown << row.sourceURL.toLocalFile() + QStringLiteral(" %1 ").arg(int(row.status)) +
                         row.outputURL.value_or(QUrl()).toLocalFile();
        QCOMPARE(shown, (QStringList{last.photo + QStringLiteral(" 0 ") + outputOf(last.photo),
                                     last.graphic + QStringLiteral(" 0 ") + outputOf(last.graphic),
                                     last.notes + QStringLiteral(" 2 ")}));
    }

    // What a finished run leaves: sources as they were, outputs only where a tool was started
    // for them and each output a whole picture, nothing in the private temporary folder, no
    // tool still running or unreaped.
    void verifyNothingLeft(const QMap<QString, QByteArray> &sourcesBefore, const QStringList &startedOutputs)
    {
        const QMap<QString, QByteArray> after = TestImages::fingerprint(sourceFolder());
        for (auto source = sourcesBefore.cbegin(); source != sourcesBefore.cend(); ++source)
            QVERIFY2(after.value(source.key()) == source.value(), qPrintable(source.key()));
        for (const QString &path : after.keys()) {
            if (sourcesBefore.contains(path))
                continue;
            QVERIFY2(startedOutputs.contains(path), qPrintable(QStringLiteral("stray file ") + path));
            QImageReader reader(path);
            reader.setDecideFormatFromContent(true);
            QVERIFY2(!reader.read().isNull(), qPrintable(path + QStringLiteral(": ") + reader.errorString()));
        }
        QCOMPARE(m_sandbox->leftovers(), QString());
        QCOMPARE(childProcesses(), QStringList());
    }

    std::optional<Sandbox> m_sandbox;

private slots:
    void init()
    {
        // The encoders' temporary files, and the tools', go to a folder of this test alone.
        m_sandbox.emplace();
        QVERIFY(m_sandbox->isValid());
        QCOMPARE(QDir::tempPath(), QDir(m_sandbox->temporaryFolder()).canonicalPath());
    }

    void cleanup()
    {
        QFile::remove(holdFile());
        m_sandbox.reset();
    }

    // The worker holds the first batch's largest file (the graphic) while 99 more batches arrive, every other one
    // followed by a clear. Each new batch cancels the one before: the held file is finished and
    // its output stays, no batch in between ever starts, and the last one runs whole.
    void hundredBatchesWhileFileInHand()
    {
        const QList<Batch> batches = makeBatches(batchCount);
        QCOMPARE(batches.size(), batchCount);
        const QMap<QString, QByteArray> sourcesBefore = TestImages::fingerprint(sourceFolder());
        {
            Controller controller = makeController();
            CompressionViewModel &viewModel = *controller.viewModel;
            hold();
            QVERIFY(viewModel.openFiles(batches.first().urls()));
            QVERIFY(waitForStartedRuns(1));
            for (int index = 1; index < batchCount; ++index) {
                QVERIFY(viewModel.openFiles(batches.at(index).urls()));
                QVERIFY(viewModel.isProcessing());
                QCOMPARE(viewModel.results()->count(), 0);
                if (index % 2 == 1 && index != batchCount - 1) {
                    viewModel.clearResults();
                    QVERIFY(!viewModel.isProcessing());
                }
                QCoreApplication::processEvents();
            }
            QSignalSpy inserted(viewModel.results(), &QAbstractItemModel::rowsInserted);
            release();
            QTRY_VERIFY_WITH_TIMEOUT(!viewModel.isProcessing(), waitTimeoutMs);
            QVERIFY(drain(controller));

            verifyLastBatchRows(viewModel, batches.last());
            QCOMPARE(inserted.size(), 3); // each row as its file finished
        }
        const QStringList outputs{outputOf(batches.first().graphic), outputOf(batches.last().photo),
                                  outputOf(batches.last().graphic)};
        QCOMPARE(readLines(startedLog()).size(), outputs.size());
        for (const QString &output : outputs)
            QVERIFY2(QFileInfo::exists(output), qPrintable(output));
        verifyNothingLeft(sourcesBefore, outputs);
    }

    // Stopped while the tools hold a file each, the two largest (the graphics): both finish,
    // nothing else starts, and the rows are theirs in drop order, under a count of the files
    // left untouched, which continuing then compresses.
    void stopFinishesTheFilesInHandAndShowsTheirRows()
    {
        const QList<Batch> batches = makeBatches(2);
        QCOMPARE(batches.size(), 2);
        const QStringList files{batches[0].photo, batches[0].graphic, batches[1].photo, batches[1].graphic};
        const QMap<QString, QByteArray> sourcesBefore = TestImages::fingerprint(sourceFolder());
        const QStringList inHand{outputOf(files[1]), outputOf(files[3])};
        {
            Controller controller = makeController(2);
            CompressionViewModel &viewModel = *controller.viewModel;
            hold();
            QVERIFY(viewModel.openFiles(batches[0].urls().mid(0, 2) + batches[1].urls().mid(0, 2)));
            QCOMPARE(viewModel.totalCount(), 4);
            QVERIFY(waitForStartedRuns(2));
            viewModel.stop();
            QVERIFY(viewModel.isStopping());
            QVERIFY(viewModel.isProcessing());
            release();
            QTRY_VERIFY_WITH_TIMEOUT(!viewModel.isProcessing(), waitTimeoutMs);
            QVERIFY(drain(controller));

            QStringList shown;
            for (const CompressionResult &row : viewModel.results()->results())
                shown.append(row.outputURL.value_or(QUrl()).toLocalFile());
            QCOMPARE(shown, inHand);
            QCOMPARE(viewModel.completedCount(), 2);
            QCOMPARE(viewModel.unprocessedCount(), 2);
            QVERIFY(!viewModel.isStopping());
            QVERIFY2(viewModel.totalsText().startsWith(QStringLiteral("2 个文件 · 节省 ")),
                     qPrintable(viewModel.totalsText()));
            QCOMPARE(readLines(startedLog()).size(), inHand.size());

            // Continued, the two files left untouched follow the rows shown, in drop order.
            QVERIFY(viewModel.continueRemaining());
            QTRY_VERIFY_WITH_TIMEOUT(!viewModel.isProcessing(), waitTimeoutMs);
            QVERIFY(drain(controller));
            shown.clear();
            for (const CompressionResult &row : viewModel.results()->results())
                shown.append(row.outputURL.value_or(QUrl()).toLocalFile());
            QCOMPARE(shown, inHand + QStringList({outputOf(files[0]), outputOf(files[2])}));
            QCOMPARE(viewModel.unprocessedCount(), 0);
            QVERIFY(!viewModel.continueRemaining());
        }
        verifyNothingLeft(sourcesBefore, QStringList{outputOf(files[1]), outputOf(files[3]), outputOf(files[0]), outputOf(files[2])});
    }
};

QTEST_GUILESS_MAIN(tst_BatchStress)
#include "tst_batchstress.moc"
