// The rows as the views read them: role names, the values of each kind of row, and the
// changes that the views are told of.

#include "CompressionResultListModel.h"

#include <QAbstractItemModelTester>
#include <QSignalSpy>
#include <QTest>

namespace {

CompressionResult successRow(const QString &path, qint64 original, qint64 compressed)
{
    const QString output = path.chopped(4) + QStringLiteral("-1") + path.right(4);
    return CompressionResult::success(QUrl::fromLocalFile(path), original,
                                      CompressionArtifact{QUrl::fromLocalFile(output), compressed});
}

CompressionResult skippedRow(const QString &path, qint64 original)
{
    return CompressionResult::failure(QUrl::fromLocalFile(path), original,
                                      CompressionPipelineError::notSmallerAfterCompression());
}

QStringList sourcePaths(const CompressionResultListModel &model)
{
    QStringList paths;
    for (int row = 0; row < model.rowCount(); ++row)
        paths.append(model.data(model.index(row), CompressionResultListModel::SourcePathRole).toString());
    return paths;
}

} // namespace

class tst_CompressionResultListModel : public QObject
{
    Q_OBJECT

private slots:
    void roleNamesAreTheViewsNames()
    {
        const CompressionResultListModel model;
        const QHash<int, QByteArray> names = model.roleNames();
        QCOMPARE(names.value(CompressionResultListModel::IdRole), "id");
        QCOMPARE(names.value(CompressionResultListModel::SourceURLRole), "sourceURL");
        QCOMPARE(names.value(CompressionResultListModel::SourcePathRole), "sourcePath");
        QCOMPARE(names.value(CompressionResultListModel::FileNameRole), "fileName");
        QCOMPARE(names.value(CompressionResultListModel::OutputURLRole), "outputURL");
        QCOMPARE(names.value(CompressionResultListModel::OutputPathRole), "outputPath");
        QCOMPARE(names.value(CompressionResultListModel::OriginalBytesRole), "originalBytes");
        QCOMPARE(names.value(CompressionResultListModel::CompressedBytesRole), "compressedBytes");
        QCOMPARE(names.value(CompressionResultListModel::StatusRole), "status");
        QCOMPARE(names.value(CompressionResultListModel::MessageRole), "message");
    }

    void successRowValues()
    {
        CompressionResultListModel model;
        const CompressionResult result = successRow(QStringLiteral("/pictures/照片 1.jpg"), 4000, 1500);
        model.insertAtFront({result});
        const QModelIndex index = model.index(0);

        QCOMPARE(model.data(index, CompressionResultListModel::IdRole).toString(),
                 result.id.toString(QUuid::WithoutBraces));
        QCOMPARE(model.data(index, CompressionResultListModel::SourceURLRole).toUrl(),
                 QUrl::fromLocalFile(QStringLiteral("/pictures/照片 1.jpg")));
        QCOMPARE(model.data(index, CompressionResultListModel::SourcePathRole).toString(),
                 QStringLiteral("/pictures/照片 1.jpg"));
        QCOMPARE(model.data(index, CompressionResultListModel::FileNameRole).toString(), QStringLiteral("照片 1.jpg"));
        QCOMPARE(model.data(index, CompressionResultListModel::OutputPathRole).toString(),
                 QStringLiteral("/pictures/照片 1-1.jpg"));
        QCOMPARE(model.data(index, CompressionResultListModel::OutputURLRole).toUrl(),
                 QUrl::fromLocalFile(QStringLiteral("/pictures/照片 1-1.jpg")));
        QCOMPARE(model.data(index, CompressionResultListModel::OriginalBytesRole).toLongLong(), 4000);
        QCOMPARE(model.data(index, CompressionResultListModel::CompressedBytesRole).toLongLong(), 1500);
        QCOMPARE(model.data(index, CompressionResultListModel::StatusRole).toString(), QStringLiteral("success"));
        QVERIFY(!model.data(index, CompressionResultListModel::MessageRole).isValid());
    }

    void rowWithoutOutputLeavesItUndefined_data()
    {
        QTest::addColumn<CompressionResult>("result");
        QTest::addColumn<QString>("status");
        QTest::newRow("skipped") << skippedRow(QStringLiteral("/pictures/a.png"), 900) << QStringLiteral("skipped");
        QTest::newRow("failed") << CompressionResult::failure(QUrl::fromLocalFile(QStringLiteral("/pictures/a.jpg")), 0,
                                                              CompressionPipelineError::readFailed())
                                << QStringLiteral("failed");
    }

    void rowWithoutOutputLeavesItUndefined()
    {
        QFETCH(CompressionResult, result);
        QFETCH(QString, status);
        CompressionResultListModel model;
        model.insertAtFront({result});
        const QModelIndex index = model.index(0);

        QCOMPARE(model.data(index, CompressionResultListModel::StatusRole).toString(), status);
        QCOMPARE(model.data(index, CompressionResultListModel::MessageRole).toString(), *result.message);
        QVERIFY(!model.data(index, CompressionResultListModel::OutputURLRole).isValid());
        QVERIFY(!model.data(index, CompressionResultListModel::OutputPathRole).isValid());
        QVERIFY(!model.data(index, CompressionResultListModel::CompressedBytesRole).isValid());
    }

    void insertAtFrontIsOneChangeInOrder()
    {
        CompressionResultListModel model;
        QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
        model.insertAtFront({skippedRow(QStringLiteral("/p/old.png"), 10)});
        QSignalSpy inserted(&model, &QAbstractItemModel::rowsInserted);
        QSignalSpy count(&model, &CompressionResultListModel::countChanged);

        model.insertAtFront({skippedRow(QStringLiteral("/p/a.png"), 10), skippedRow(QStringLiteral("/p/b.png"), 10),
                             skippedRow(QStringLiteral("/p/c.png"), 10)});

        QCOMPARE(inserted.size(), 1);
        QCOMPARE(inserted.first().at(1).toInt(), 0);
        QCOMPARE(inserted.first().at(2).toInt(), 2);
        QCOMPARE(count.size(), 1);
        QCOMPARE(model.count(), 4);
        QCOMPARE(sourcePaths(model), (QStringList{QStringLiteral("/p/a.png"), QStringLiteral("/p/b.png"),
                                                  QStringLiteral("/p/c.png"), QStringLiteral("/p/old.png")}));
    }

    void clearAlwaysTellsTheViews_data()
    {
        QTest::addColumn<int>("rows");
        QTest::addColumn<int>("countChanges");
        QTest::newRow("empty") << 0 << 0;
        QTest::newRow("two rows") << 2 << 1;
    }

    void clearAlwaysTellsTheViews()
    {
        QFETCH(int, rows);
        QFETCH(int, countChanges);
        CompressionResultListModel model;
        QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
        for (int row = 0; row < rows; ++row)
            model.insertAtFront({skippedRow(QStringLiteral("/p/a.png"), 10)});
        QSignalSpy reset(&model, &QAbstractItemModel::modelReset);
        QSignalSpy count(&model, &CompressionResultListModel::countChanged);

        model.clear();

        QCOMPARE(reset.size(), 1);
        QCOMPARE(count.size(), countChanges);
        QCOMPARE(model.rowCount(), 0);
    }

    void outOfRangeIndexHasNoData()
    {
        CompressionResultListModel model;
        model.insertAtFront({skippedRow(QStringLiteral("/p/a.png"), 10)});
        QVERIFY(!model.data(model.index(1), CompressionResultListModel::SourcePathRole).isValid());
        QCOMPARE(model.rowCount(model.index(0)), 0);
    }
};

QTEST_GUILESS_MAIN(tst_CompressionResultListModel)
#include "tst_compressionresultlistmodel.moc"
