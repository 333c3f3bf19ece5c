// A hundred batches in quick succession and the cancellation of the file in hand by a new drop
// or a clear, through the real controller, service and encoders. The bundle's tools note each run
// and can be held before handing over to the real tool (TestFiles::heldToolsBundle), so which
// file is in hand is fixed by the test, never by timing. Every wait is bounded.

#include "CompressionViewModel.h"
#include "StandardCompressionService.h"
#include "TestFiles.h"
#include "TestImages.h"

#include <QBuffer>
#include <QDir>
#include <QFileInfo>
#include <QImageReader>
#include <QImageWriter>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QThreadPool>

using namespace pressel;

using namespace TestFiles;

namespace {

// Generous: only a broken build waits this long.
constexpr int waitTimeoutMs = 60'000;
constexpr int batchCount = 100;

// The threads of this process, by id and name.
QStringList threads()
{
    QStringList threads;
    const QDir tasks(QStringLiteral("/proc/self/task"));
    for (const QString &id : tasks.entryList(QDir::Dirs | QDir::NoDotAndDotDot))
        threads.append(id + u' ' + QString::fromUtf8(readFile(tasks.filePath(id + QStringLiteral("/comm")))).trimmed());
    return threads;
}

// The threads that were not there before, compared by id (a thread may rename itself).
QStringList newThreads(const QStringList &before)
{
    QStringList beforeIds;
    for (const QString &thread : before)
        beforeIds.append(thread.section(u' ', 0, 0));
    QStringList added;
    for (const QString &thread : threads()) {
        if (!beforeIds.contains(thread.section(u' ', 0, 0)))
            added.append(thread);
    }
    return added;
}

// The processes whose parent is this one, zombies included: a tool that is still running or
// was never reaped.
QStringList childProcesses()
{
    QStringList children;
    const QByteArray self = QByteArray::number(QCoreApplication::applicationPid());
    const QDir proc(QStringLiteral("/proc"));
    for (const QString &entry : proc.entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        bool isProcess = false;
        entry.toLongLong(&isProcess);
        QFile stat(proc.filePath(entry + QStringLiteral("/stat")));
        if (!isProcess || !stat.open(QIODevice::ReadOnly))
            continue;
        // "pid (name) state ppid ...": the name may hold blanks and brackets.
        const QByteArray line = stat.readAll();
        const qsizetype nameEnd = line.lastIndexOf(')');
        const QList<QByteArray> fields = line.mid(nameEnd + 2).split(' ');
        if (nameEnd > 0 && fields.size() > 1 && fields.at(1) == self)
            children.append(QString::fromUtf8(line.left(nameEnd + 1)));
    }
    return children;
}

// The names in a folder and below it, relative to it, sorted.
QStringList filesBelow(const QString &folder)
{
    QStringList names;
    const QDir root(folder);
    for (const QFileInfo &info : root.entryInfoList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden)) {
        names.append(info.fileName());
        if (info.isDir() && !info.isSymLink()) {
            for (const QString &inner : filesBelow(info.filePath()))
                names.append(info.fileName() + u'/' + inner);
        }
    }
    names.sort();
    return names;
}

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
    QStringList paths() const { return {photo, graphic, notes}; }
};

// A file that a tool was started for: the batch it belongs to and its place in the batch.
struct StartedRun {
    int batch = -1;
    int file = -1; // 0 photo, 1 graphic
};

std::optional<StartedRun> parseStartedRun(const QString &outputPath)
{
    static const QRegularExpression name(QStringLiteral("^b(\\d{3})-(photo|graphic)-1\\.(jpg|png)$"));
    const QRegularExpressionMatch match = name.match(QFileInfo(outputPath).fileName());
    if (!match.hasMatch())
        return std::nullopt;
    return StartedRun{match.captured(1).toInt(), match.captured(2) == u"photo" ? 0 : 1};
}

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
            heldToolsBundle(m_work->filePath(QStringLiteral("bundle")), startedLog(), holdFile()));
        // One worker unless told: most cases hold one file in hand and count on the next not
        // starting.
        service->setWorkerCount(workerCount);
        controller.service = service.get();
        controller.viewModel = std::make_unique<CompressionViewModel>(std::move(service));
        return controller;
    }

    QString startedLog() const { return m_work->filePath(QStringLiteral("started.log")); }
    QString holdFile() const { return m_work->filePath(QStringLiteral("hold")); }
    QString sourceFolder() const { return m_work->filePath(QStringLiteral("images")); }

    void hold()
    {
        QFile gate(holdFile());
        QVERIFY(gate.open(QIODevice::WriteOnly));
    }
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
        QDir().mkpath(sourceFolder());
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
                QFile file(path);
                if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
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
        const QList<CompressionResult> &rows = viewModel.results()->results();
        QStringList sources;
        for (const CompressionResult &row : rows)
            sources.append(row.sourceURL.toLocalFile());
        QCOMPARE(sources, last.paths());
        QCOMPARE(rows.at(0).status, CompressionResultStatus::success);
        QCOMPARE(rows.at(1).status, CompressionResultStatus::success);
        QCOMPARE(rows.at(2).status, CompressionResultStatus::failed);
        QCOMPARE(rows.at(0).outputURL->toLocalFile(), outputOf(last.photo));
        QCOMPARE(rows.at(1).outputURL->toLocalFile(), outputOf(last.graphic));
    }

    // What a finished run leaves: sources as they were, outputs only where a tool was started
    // for them and each output a whole picture, nothing in the private temporary folder, no
    // tool still running or unreaped, no thread left over.
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
        QCOMPARE(filesBelow(m_temporaryFolder->path()), QStringList());
        QCOMPARE(childProcesses(), QStringList());
        // Qt's image conversions borrow threads of its global pool, which idle for half a minute
        // before they end; they are Qt's, and ending them here leaves only ours to count.
        QVERIFY(QThreadPool::globalInstance()->waitForDone(waitTimeoutMs));
        // A joined thread leaves the task list a moment after the join returns.
        const bool threadsGone = QTest::qWaitFor([&] { return newThreads(m_threadsBefore).isEmpty(); }, waitTimeoutMs);
        QVERIFY2(threadsGone, qPrintable(newThreads(m_threadsBefore).join(QStringLiteral(", "))));
    }

    std::optional<QTemporaryDir> m_work;
    std::optional<QTemporaryDir> m_temporaryFolder;
    std::optional<TemporaryFolderOverride> m_temporaryFolderOverride;
    QStringList m_threadsBefore;

private slots:
    void initTestCase()
    {
        // Whatever Qt and the tools start once per process (image plugins, the process
        // launcher's helpers) is started here, so that the counts below see only the batches.
        QTemporaryDir warmUp;
        const QString photo = warmUp.filePath(QStringLiteral("warm.jpg"));
        const QString graphic = warmUp.filePath(QStringLiteral("warm.png"));
        TestImages::write(TestImages::photo(64, 48), photo, "jpeg", 98);
        TestImages::write(TestImages::transparentGraphic(64, 48), graphic, "png");
        CompressionViewModel viewModel(makeStandardCompressionService(buildBundle()));
        QVERIFY(viewModel.handleDroppedFiles({QUrl::fromLocalFile(photo), QUrl::fromLocalFile(graphic)}));
        QTRY_VERIFY_WITH_TIMEOUT(!viewModel.isProcessing(), waitTimeoutMs);
    }

    void init()
    {
        m_work.emplace();
        m_temporaryFolder.emplace();
        QVERIFY(m_work->isValid());
        QVERIFY(m_temporaryFolder->isValid());
        // The encoders' temporary files, and the tools', go to a folder of this test alone.
        m_temporaryFolderOverride.emplace(m_temporaryFolder->path());
        QCOMPARE(QDir::tempPath(), QDir(m_temporaryFolder->path()).canonicalPath());
        m_threadsBefore = threads();
    }

    void cleanup()
    {
        QFile::remove(holdFile());
        m_temporaryFolderOverride.reset();
        m_temporaryFolder.reset();
        m_work.reset();
    }

    // The worker holds the first batch's first file while 99 more batches arrive, every other one
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
            QVERIFY(viewModel.handleDroppedFiles(batches.first().urls()));
            QVERIFY(waitForStartedRuns(1));
            for (int index = 1; index < batchCount; ++index) {
                QVERIFY(viewModel.handleDroppedFiles(batches.at(index).urls()));
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
            QCOMPARE(inserted.size(), 1);
        }
        const QStringList started = readLines(startedLog());
        const QStringList expected{outputOf(batches.first().photo), outputOf(batches.last().photo),
                                   outputOf(batches.last().graphic)};
        QCOMPARE(started, expected);
        QVERIFY(QFileInfo::exists(outputOf(batches.first().photo)));
        verifyNothingLeft(sourcesBefore, started);
    }

    void hundredBatchesRunningFree_data()
    {
        QTest::addColumn<bool>("endWithClear");
        QTest::newRow("last batch runs") << false;
        QTest::newRow("cleared at the end") << true;
    }

    // The same without a gate: batches arrive while the worker runs whatever it has, every
    // tenth one only once its photo is in hand. Whatever the timing, tools run batch after
    // batch and file after file, a cancelled batch never skips ahead, only the last batch's
    // rows are shown (none when the run ends with a clear) and nothing is left behind.
    void hundredBatchesRunningFree()
    {
        QFETCH(bool, endWithClear);
        const QList<Batch> batches = makeBatches(batchCount);
        QCOMPARE(batches.size(), batchCount);
        const QMap<QString, QByteArray> sourcesBefore = TestImages::fingerprint(sourceFolder());
        {
            Controller controller = makeController();
            CompressionViewModel &viewModel = *controller.viewModel;
            for (int index = 0; index < batchCount; ++index) {
                QVERIFY(viewModel.handleDroppedFiles(batches.at(index).urls()));
                if (index % 10 == 5) {
                    const QString photoOutput = outputOf(batches.at(index).photo);
                    QVERIFY(
                        QTest::qWaitFor([&] { return readLines(startedLog()).contains(photoOutput); }, waitTimeoutMs));
                }
                if (index % 3 == 1 && index != batchCount - 1)
                    viewModel.clearResults();
                QCoreApplication::processEvents();
            }
            if (endWithClear)
                viewModel.clearResults();
            QSignalSpy inserted(viewModel.results(), &QAbstractItemModel::rowsInserted);
            QTRY_VERIFY_WITH_TIMEOUT(!viewModel.isProcessing(), waitTimeoutMs);
            QVERIFY(drain(controller));

            if (endWithClear) {
                QCOMPARE(viewModel.results()->count(), 0);
                QCOMPARE(inserted.size(), 0);
            } else {
                verifyLastBatchRows(viewModel, batches.last());
                QCOMPARE(inserted.size(), 1);
            }
        }

        const QStringList started = readLines(startedLog());
        StartedRun previous;
        for (const QString &output : started) {
            const auto run = parseStartedRun(output);
            QVERIFY2(run, qPrintable(output));
            // Batch after batch; in a batch the photo first, the graphic only after it.
            const bool nextInBatch = run->batch == previous.batch && run->file == previous.file + 1;
            const bool firstOfLaterBatch = run->batch > previous.batch && run->file == 0;
            QVERIFY2(nextInBatch || firstOfLaterBatch, qPrintable(output));
            previous = *run;
        }
        if (!endWithClear) {
            QCOMPARE(started.mid(started.size() - 2),
                     (QStringList{outputOf(batches.last().photo), outputOf(batches.last().graphic)}));
        }
        verifyNothingLeft(sourcesBefore, started);
    }

    void cancellationFinishesFileInHand_data()
    {
        QTest::addColumn<bool>("heldIsPNG");
        QTest::addColumn<bool>("cancelByDrop");
        QTest::newRow("cjpeg held, new drop") << false << true;
        QTest::newRow("cjpeg held, clear") << false << false;
        QTest::newRow("pngquant held, new drop") << true << true;
        QTest::newRow("pngquant held, clear") << true << false;
    }

    // A slow encoder holds the first file of a batch; the batch is cancelled meanwhile. The
    // held file is finished by the real tool and its output stays, though no row shows it; the
    // next file is never started, and the temporary picture of the held run is gone.
    void cancellationFinishesFileInHand()
    {
        QFETCH(bool, heldIsPNG);
        QFETCH(bool, cancelByDrop);
        const QList<Batch> batches = makeBatches(2);
        QCOMPARE(batches.size(), 2);
        const Batch &cancelled = batches.first();
        const QString held = heldIsPNG ? cancelled.graphic : cancelled.photo;
        const QString next = heldIsPNG ? cancelled.photo : cancelled.graphic;
        const QMap<QString, QByteArray> sourcesBefore = TestImages::fingerprint(sourceFolder());
        QStringList expectedStarts{outputOf(held)};
        {
            Controller controller = makeController();
            CompressionViewModel &viewModel = *controller.viewModel;
            hold();
            QVERIFY(viewModel.handleDroppedFiles({QUrl::fromLocalFile(held), QUrl::fromLocalFile(next)}));
            QVERIFY(waitForStartedRuns(1));
            // cjpeg reads the decoded picture from the private temporary folder while it runs.
            const QStringList whileHeld = filesBelow(m_temporaryFolder->path());
            QCOMPARE(whileHeld.size(), heldIsPNG ? 0 : 1);
            if (!heldIsPNG)
                QVERIFY(whileHeld.first().endsWith(QStringLiteral(".ppm")));

            if (cancelByDrop) {
                QVERIFY(viewModel.handleDroppedFiles({QUrl::fromLocalFile(batches.last().photo)}));
                expectedStarts.append(outputOf(batches.last().photo));
            } else {
                viewModel.clearResults();
            }
            QCOMPARE(viewModel.results()->count(), 0);
            QSignalSpy inserted(viewModel.results(), &QAbstractItemModel::rowsInserted);
            release();
            QTRY_VERIFY_WITH_TIMEOUT(!viewModel.isProcessing(), waitTimeoutMs);
            QVERIFY(drain(controller));

            if (cancelByDrop) {
                QCOMPARE(viewModel.results()->count(), 1);
                QCOMPARE(viewModel.results()->results().first().sourceURL.toLocalFile(), batches.last().photo);
                QCOMPARE(inserted.size(), 1);
            } else {
                QCOMPARE(viewModel.results()->count(), 0);
                QCOMPARE(inserted.size(), 0);
            }
        }
        QCOMPARE(readLines(startedLog()), expectedStarts);
        const QFileInfo heldOutput(outputOf(held));
        QVERIFY(heldOutput.exists());
        QVERIFY(heldOutput.size() < QFileInfo(held).size());
        QCOMPARE(QImageReader(heldOutput.filePath()).format(), heldIsPNG ? QByteArray("png") : QByteArray("jpeg"));
        QVERIFY(!QFileInfo::exists(outputOf(next)));
        verifyNothingLeft(sourcesBefore, expectedStarts);
    }

    // Stopped while the tools hold a file each: both finish, nothing else starts, and the rows
    // are theirs in drop order, under a count of the files left untouched.
    void stopFinishesTheFilesInHandAndShowsTheirRows()
    {
        const QList<Batch> batches = makeBatches(2);
        QCOMPARE(batches.size(), 2);
        const QStringList files{batches[0].photo, batches[0].graphic, batches[1].photo, batches[1].graphic};
        const QMap<QString, QByteArray> sourcesBefore = TestImages::fingerprint(sourceFolder());
        const QStringList inHand{outputOf(files[0]), outputOf(files[1])};
        {
            Controller controller = makeController(2);
            CompressionViewModel &viewModel = *controller.viewModel;
            hold();
            QList<QUrl> urls;
            for (const QString &file : files)
                urls.append(QUrl::fromLocalFile(file));
            QVERIFY(viewModel.handleDroppedFiles(urls));
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
        }
        QStringList started = readLines(startedLog());
        started.sort();
        QStringList expected = inHand;
        expected.sort();
        QCOMPARE(started, expected);
        verifyNothingLeft(sourcesBefore, inHand);
    }
};

QTEST_GUILESS_MAIN(tst_BatchStress)
#include "tst_batchstress.moc"
