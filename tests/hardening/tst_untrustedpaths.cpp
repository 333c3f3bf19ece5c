// SPDX-License-Identifier: GPL-3.0-or-later
// File names and links that users, archives and other programs make: spaces, quotes, line
// breaks, a leading hyphen, shell and URL characters, bytes that are not UTF-8, names so long
// that the output's "-1" no longer fits, and symbolic links on the source and on the folder (links
// planted at an output's name: tst_sharedfolder). Each goes through the service with the tools and
// without them and gives a clear row: the expected output beside the source, or a failed row that
// leaves nothing; no file other than the output is created, changed or written through.

#include "HardeningSupport.h"

#include <QDir>
#include <QTest>

#include <unistd.h>

using namespace pressel;

using namespace Qt::StringLiterals;
using namespace TestFiles;

namespace {

const QString readFailed = u"readFailed"_s;

QByteArray formatOf(const QByteArray &name)
{
    return name.toLower().endsWith(".png") ? "png" : "jpeg";
}

} // namespace


class UntrustedPathsTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();

    void namesThroughTheService_data() { addNameRows(); }
    void namesThroughTheService();
    void symbolicLinks_data();
    void symbolicLinks();

private:
    static void addNameRows();
    // Checks the row against its expectation (`output` raw, relative to the folder; empty: the
    // row fails for the reason `message`) and the folder against its record.
    void verify(const CompressionResult &result, const FolderRecord &record, const QString &folder,
                const QByteArray &output, const QString &message);

    Sandbox m_sandbox;
};

void UntrustedPathsTest::initTestCase()
{
    QVERIFY(m_sandbox.isValid());
    QVERIFY2(missingTools().isEmpty(), qPrintable(u"the build tree's bundle lacks: "_s + missingTools()));
}

void UntrustedPathsTest::addNameRows()
{
    QTest::addColumn<QByteArray>("name");
    QTest::addColumn<QByteArray>("decoy");          // another file beside it, never to be touched
    QTest::addColumn<QByteArray>("expectedOutput"); // empty: the row fails
    QTest::addColumn<QString>("message");

    const auto succeeds = [](const char *tag, const QByteArray &name, const QByteArray &output) {
        QTest::newRow(tag) << name << QByteArray() << output << QString();
    };
    succeeds("spaces", "holiday  photo .jpg", "holiday  photo -1.jpg");
    succeeds("double quotes", "say \"cheese\".jpg", "say \"cheese\"-1.jpg");
    succeeds("line break", "first\nsecond.png", "first\nsecond-1.png");
    succeeds("leading hyphen", "-rf.jpg", "-rf-1.jpg");
    succeeds("option-like png", "--output.png", "--output-1.png");
    succeeds("shell characters", "$(touch x);`id`|&>.jpg", "$(touch x);`id`|&>-1.jpg");
    succeeds("URL characters", "100% #1 ?q=a&b.jpg", "100% #1 ?q=a&b-1.jpg");
    succeeds("unicode", "照片 😀 café.jpg", "照片 😀 café-1.jpg");
    succeeds("no extension", "scan", "scan.jpg");
    succeeds("only the last extension goes", "archive.tar.png", "archive.tar-1.png");
    QTest::newRow("a taken name is passed by") << QByteArray("taken.jpg") << QByteArray("taken-1.jpg")
                                               << QByteArray("taken-2.jpg") << QString();

    // Names of up to 255 bytes, the most a name may have: the output's base is shortened at a
    // character boundary so that the output and the scratch names beside it ("<output>.tmp",
    // "<output>.XXXXXX") fit, and a shortened name always keeps its "-N".
    const QByteArray a("a"), cjk("\xE7\x85\xA7"); // 照, three bytes
    succeeds("output at the limit, without counter", a.repeated(244), a.repeated(244) + ".jpg");
    succeeds("255 bytes, shortened", a.repeated(251) + ".JPG", a.repeated(242) + "-1.jpg");
    succeeds("254 bytes of CJK, cut before a whole character", cjk.repeated(83) + "a.png", cjk.repeated(80) + "-1.png");

    // Bytes that are not UTF-8 cannot be named through Qt: what arrives is the name with U+FFFD
    // in their place, which may well be another file's. That one is neither read nor written.
    QTest::newRow("not UTF-8") << QByteArray("\xFF\xFE.jpg") << QFile::encodeName(QFile::decodeName("\xFF\xFE.jpg"))
                               << QByteArray() << readFailed;
}

void UntrustedPathsTest::verify(const CompressionResult &result, const FolderRecord &record, const QString &folder,
                                const QByteArray &output, const QString &message)
{
    const auto status = output.isEmpty() ? CompressionResultStatus::failed : CompressionResultStatus::success;
    QVERIFY2(result.status == status, qPrintable(describe(result)));
    if (output.isEmpty()) {
        QCOMPARE(result.failure ? result.failure->reasonName() : QString(), message);
    } else {
        const QString expected = QFile::decodeName(rawPath(folder, output));
        QCOMPARE(QFileInfo(result.outputURL->toLocalFile()).canonicalFilePath(), QFileInfo(expected).canonicalFilePath());
        const QString problem = TestImages::checkOutput(expected, formatOf(output));
        QVERIFY2(problem.isEmpty(), qPrintable(problem));
    }
    const QString changes = record.changesBeyond(output.isEmpty() ? QList<QByteArray>{} : QList<QByteArray>{output});
    QVERIFY2(changes.isEmpty(), qPrintable(changes));
    QVERIFY2(m_sandbox.leftovers().isEmpty(), qPrintable(m_sandbox.leftovers()));
}

void UntrustedPathsTest::namesThroughTheService()
{
    QFETCH(QByteArray, name);
    QFETCH(QByteArray, decoy);
    QFETCH(QByteArray, expectedOutput);
    QFETCH(QString, message);

    for (const Road road : {Road::tools, Road::fallback}) {
        const QString folder = m_sandbox.newFolder(u"names"_s);
        QVERIFY(writeRawFile(rawPath(folder, name), shrinkableSource(formatOf(name))));
        if (!decoy.isEmpty())
            QVERIFY(writeRawFile(rawPath(folder, decoy), shrinkableSource(formatOf(decoy))));
        const FolderRecord record(folder);
        // As the window and the command line get it: the name decoded into a string.
        const QUrl url = QUrl::fromLocalFile(QFile::decodeName(rawPath(folder, name)));
        const QList<CompressionResult> results = compress(road, {url});
        QCOMPARE(results.size(), 1);
        verify(results.first(), record, folder, expectedOutput, message);
        if (QTest::currentTestFailed())
            return;
    }
}

void UntrustedPathsTest::symbolicLinks_data()
{
    QTest::addColumn<Road>("road");
    QTest::addColumn<QStringList>("sources"); // pictures to create, relative paths
    QTest::addColumn<QStringList>("folders"); // folders to create
    QTest::addColumn<QStringList>("links");   // "link path=target"
    QTest::addColumn<QString>("source");      // the file handed to the pipeline
    QTest::addColumn<QString>("output");      // where the output must appear; empty: the row fails
    QTest::addColumn<QString>("message");

    for (const Road road : {Road::tools, Road::fallback}) {
        const auto row = [&](const char *tag) -> QTestData & {
            return QTest::addRow("%s: %s", roadName(road), tag) << road;
        };
        row("symlinked source") << QStringList{u"real/photo.jpg"_s} << QStringList{u"links"_s}
                                << QStringList{u"links/link.jpg=../real/photo.jpg"_s} << u"links/link.jpg"_s
                                << u"links/link-1.jpg"_s << QString();
        row("symlinked folder") << QStringList{u"real/photo.jpg"_s} << QStringList{} << QStringList{u"linked=real"_s}
                                << u"linked/photo.jpg"_s << u"real/photo-1.jpg"_s << QString();
        row("link to itself") << QStringList{} << QStringList{} << QStringList{u"loop.jpg=loop.jpg"_s} << u"loop.jpg"_s
                              << QString() << readFailed;
        row("dangling source") << QStringList{} << QStringList{} << QStringList{u"gone.jpg=nowhere/gone.jpg"_s}
                               << u"gone.jpg"_s << QString() << u"fileMissing"_s;
    }
}

void UntrustedPathsTest::symbolicLinks()
{
    QFETCH(Road, road);
    QFETCH(QStringList, sources);
    QFETCH(QStringList, folders);
    QFETCH(QStringList, links);
    QFETCH(QString, source);
    QFETCH(QString, output);
    QFETCH(QString, message);

    const QString root = m_sandbox.newFolder(u"links"_s);
    const QDir dir(root);
    for (const QString &folder : folders)
        QVERIFY(dir.mkpath(folder));
    for (const QString &path : sources) // with its folder
        QVERIFY(writeFile(dir.filePath(path), shrinkableSource(formatOf(QFile::encodeName(path)))));
    for (const QString &link : links) {
        const QStringList parts = link.split(u'=');
        QCOMPARE(
            ::symlink(QFile::encodeName(parts[1]).constData(), QFile::encodeName(dir.filePath(parts[0])).constData()),
            0);
    }
    const FolderRecord record(root);

    const QList<CompressionResult> results = compress(road, {QUrl::fromLocalFile(dir.filePath(source))});
    QCOMPARE(results.size(), 1);
    verify(results.first(), record, root, QFile::encodeName(output), message);
}

QTEST_GUILESS_MAIN(UntrustedPathsTest)
#include "tst_untrustedpaths.moc"
