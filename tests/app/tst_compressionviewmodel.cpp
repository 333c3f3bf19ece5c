// The batch controller with the real service on real files, and the rows it publishes. Batches
// that overlap, cancellation and clearing while a file is in hand are tests/stress's.

#include "CompressionViewModel.h"
#include "LogCapture.h"
#include "StandardCompressionService.h"
#include "TestFiles.h"
#include "TestImages.h"

#include <QAbstractItemModelTester>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

using namespace pressel;

using namespace Qt::StringLiterals;
using namespace TestFiles;

class tst_CompressionViewModel : public QObject
{
    Q_OBJECT

private slots:
    void dropWithoutFileURLsChangesNothing_data()
    {
        QTest::addColumn<QList<QUrl>>("urls");
        QTest::newRow("empty list") << QList<QUrl>();
        QTest::newRow("mail and web") << QList<QUrl>{QUrl(u"mailto:someone@example.com"_s), QUrl(u"http://e.com/b.png"_s)};
        QTest::newRow("path without scheme") << QList<QUrl>{QUrl(u"photo.jpg"_s)};
    }

    void dropWithoutFileURLsChangesNothing()
    {
        QFETCH(QList<QUrl>, urls);
        CompressionViewModel viewModel(makeStandardCompressionService(buildBundle()));
        QSignalSpy processing(&viewModel, &CompressionViewModel::isProcessingChanged);
        QSignalSpy reset(viewModel.results(), &QAbstractItemModel::modelReset);
        const LogCapture log;

        QVERIFY(!viewModel.handleDroppedFiles(urls));
        QCOMPARE(processing.size() + reset.size() + log.lines().size(), 0);
        QVERIFY(!viewModel.isProcessing());
    }

    // One batch: files in drop order, web addresses left out, each file as often as dropped with
    // an output of its own, and the rows published once.
    void batchKeepsFilesInOrderAndPublishesOnce()
    {
        QTemporaryDir folder;
        const QString jpeg = folder.filePath(u"photo one.jpg"_s);
        const QString png = folder.filePath(u"graphic.png"_s);
        TestImages::write(TestImages::photo(320, 240), jpeg, "jpeg", 98);
        TestImages::write(TestImages::transparentGraphic(200, 160), png, "png");
        const auto sources = TestImages::fingerprint(folder.path());
        CompressionViewModel viewModel(makeStandardCompressionService(buildBundle()));
        QAbstractItemModelTester tester(viewModel.results(), QAbstractItemModelTester::FailureReportingMode::QtTest);
        QSignalSpy processing(&viewModel, &CompressionViewModel::isProcessingChanged);
        QSignalSpy inserted(viewModel.results(), &QAbstractItemModel::rowsInserted);

        QVERIFY(viewModel.handleDroppedFiles({QUrl(u"https://example.com/x.jpg"_s), QUrl::fromLocalFile(png),
                                              QUrl::fromLocalFile(jpeg), QUrl::fromLocalFile(jpeg)}));
        QVERIFY(viewModel.isProcessing());
        QCOMPARE(viewModel.results()->count(), 0);
        QTRY_VERIFY_WITH_TIMEOUT(!viewModel.isProcessing(), 60'000);

        const QList<CompressionResult> &rows = viewModel.results()->results();
        QStringList shown;
        for (const CompressionResult &row : rows)
            shown.append(row.sourceURL.toLocalFile() + u" -> "_s + row.outputURL.value_or(QUrl()).toLocalFile());
        QCOMPARE(shown, (QStringList{png + u" -> "_s + folder.filePath(u"graphic-1.png"_s),
                                     jpeg + u" -> "_s + folder.filePath(u"photo one-1.jpg"_s),
                                     jpeg + u" -> "_s + folder.filePath(u"photo one-2.jpg"_s)}));
        QVERIFY(rows.at(1).id != rows.at(2).id);
        QCOMPARE(processing.size(), 2);
        QCOMPARE(inserted.size(), 1);
        for (auto it = sources.cbegin(); it != sources.cend(); ++it)
            QCOMPARE(TestImages::sha256(it.key()), it.value());
    }

    void dropTargetedNotifiesOnlyOnChange()
    {
        CompressionViewModel viewModel(makeStandardCompressionService(buildBundle()));
        QSignalSpy spy(&viewModel, &CompressionViewModel::isDropTargetedChanged);
        for (const bool targeted : {false, true, true, false, true, true})
            viewModel.setDropTargeted(targeted);
        QCOMPARE(spy.size(), 3);
        QVERIFY(viewModel.isDropTargeted());
    }
};

QTEST_GUILESS_MAIN(tst_CompressionViewModel)
#include "tst_compressionviewmodel.moc"
