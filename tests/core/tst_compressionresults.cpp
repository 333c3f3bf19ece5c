// The two helpers every encoder uses: the output naming rule and the file-size reading. How an
// error becomes a row is seen through the whole pipeline (tests/cli, tests/hardening).

#include "CompressionResult.h"
#include "OutputFiles.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <sys/stat.h>

using namespace pressel;

using namespace Qt::StringLiterals;

class CompressionResultsTest : public QObject
{
    Q_OBJECT

private slots:
    // Each existing entry is a file, or a folder when it ends in "/", or a dangling symbolic link
    // when it starts with "@".
    void makeUniqueOutputURL_data()
    {
        QTest::addColumn<QStringList>("existing");
        QTest::addColumn<QString>("source");
        QTest::addColumn<QString>("extension");
        QTest::addColumn<QString>("expected");

        QTest::newRow("source alone takes the first name") << QStringList{u"photo.jpg"_s} << "photo.jpg"
                                                           << "jpg"
                                                           << "photo-1.jpg";
        QTest::newRow("counter passes taken names")
            << QStringList{u"photo.jpg"_s, u"photo-1.jpg"_s, u"photo-2.jpg"_s} << "photo.jpg"
            << "jpg"
            << "photo-3.jpg";
        QTest::newRow("a folder counts as taken") << QStringList{u"photo.jpg"_s, u"photo-1.jpg/"_s} << "photo.jpg"
                                                  << "jpg"
                                                  << "photo-2.jpg";
        QTest::newRow("a dangling link counts as taken")
            << QStringList{u"photo.jpg"_s, u"@photo-1.jpg"_s} << "photo.jpg"
            << "jpg"
            << "photo-2.jpg";
        QTest::newRow("only the last extension goes") << QStringList{u"archive.tar.png"_s} << "archive.tar.png"
                                                      << "png"
                                                      << "archive.tar-1.png";
        QTest::newRow("source without extension") << QStringList{u"scan"_s} << "scan"
                                                  << "jpg"
                                                  << "scan.jpg";
        QTest::newRow("counter counts past nine")
            << QStringList{u"a.png"_s,   u"a-1.png"_s, u"a-2.png"_s, u"a-3.png"_s, u"a-4.png"_s,
                           u"a-5.png"_s, u"a-6.png"_s, u"a-7.png"_s, u"a-8.png"_s, u"a-9.png"_s}
            << "a.png"
            << "png"
            << "a-10.png";
        QTest::newRow("spaces and Chinese") << QStringList{u"假期 照片.jpg"_s} << "假期 照片.jpg"
                                            << "jpg"
                                            << "假期 照片-1.jpg";
    }

    void makeUniqueOutputURL()
    {
        QFETCH(QStringList, existing);
        QFETCH(QString, source);
        QFETCH(QString, extension);
        QFETCH(QString, expected);

        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        for (const QString &entry : existing) {
            if (entry.endsWith(u'/')) {
                QVERIFY(QDir(dir.path()).mkdir(entry.chopped(1)));
            } else if (entry.startsWith(u'@')) {
                QVERIFY(QFile::link(dir.filePath(u"missing-target"_s), dir.filePath(entry.mid(1))));
            } else {
                QFile file(dir.filePath(entry));
                QVERIFY(file.open(QIODevice::WriteOnly));
            }
        }
        const QUrl folder = QUrl::fromLocalFile(dir.path());
        const QUrl url = ::makeUniqueOutputURL(QUrl::fromLocalFile(dir.filePath(source)), extension, folder);
        QCOMPARE(url, QUrl::fromLocalFile(dir.filePath(expected)));
        QVERIFY2(!QFileInfo::exists(url.toLocalFile()), "the name is tested, never created");
    }

    void readFileSize_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<std::optional<qint64>>("expected");

        QTest::newRow("missing") << "missing" << std::optional<qint64>();
        QTest::newRow("empty file") << "empty" << std::optional<qint64>(0);
        QTest::newRow("three bytes") << "three" << std::optional<qint64>(3);
        QTest::newRow("folder reports no size") << "folder" << std::optional<qint64>(0);
        QTest::newRow("fifo reports no size, never blocks") << "fifo" << std::optional<qint64>(0);
    }

    void readFileSize()
    {
        QFETCH(QString, kind);
        QFETCH(std::optional<qint64>, expected);

        QTemporaryDir dir;
        const QString path = dir.filePath(u"item"_s);
        if (kind == u"empty" || kind == u"three") {
            QFile file(path);
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write(kind == u"three" ? "abc" : "");
        } else if (kind == u"folder") {
            QVERIFY(QDir(dir.path()).mkdir(u"item"_s));
        } else if (kind == u"fifo") {
            QCOMPARE(::mkfifo(QFile::encodeName(path).constData(), 0600), 0);
        }
        QCOMPARE(::readFileSize(QUrl::fromLocalFile(path)), expected);
    }
};

QTEST_GUILESS_MAIN(CompressionResultsTest)
#include "tst_compressionresults.moc"
