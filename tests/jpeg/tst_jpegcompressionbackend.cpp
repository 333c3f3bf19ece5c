// JPEGCompressionBackend: mozjpeg first, removal of what it left and the in-process encoder on
// any failure of it, and exactly one of the log sequences per file.

#include "JPEGCompressionBackend.h"
#include "JPEGTestSupport.h"
#include "TestImages.h"

#include <QDir>
#include <QImageReader>
#include <QTemporaryDir>
#include <QTest>

using namespace JPEGTestSupport;

class tst_JPEGCompressionBackend : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanup();
    void roads_data();
    void roads();
    void outputNameFollowsTheSource_data();
    void outputNameFollowsTheSource();

private:
    QTemporaryDir m_root;
    std::unique_ptr<TemporaryFolderOverride> m_tmpOverride;
    int m_case = 0;
    QString tmp() const { return m_root.filePath(QStringLiteral("tmp")); }
};

namespace {

// Expected log lines: "<I|C> <category>|<message>" with %S the source path, %N its file name,
// %O the output path and %T the cjpeg path; a message ending in "…" is matched as a prefix.
QList<LogLine> expand(const QStringList &specs, const QString &source, const QString &output, const QString &tool)
{
    QList<LogLine> lines;
    for (const QString &spec : specs) {
        const qsizetype bar = spec.indexOf(u'|');
        QString message = spec.mid(bar + 1);
        message.replace(QStringLiteral("%S"), source)
            .replace(QStringLiteral("%N"), QFileInfo(source).fileName())
            .replace(QStringLiteral("%O"), output)
            .replace(QStringLiteral("%T"), tool);
        lines.append({spec.startsWith(u'C') ? QtCriticalMsg : QtInfoMsg, spec.mid(2, bar - 2), message});
    }
    return lines;
}

bool matches(const QList<LogLine> &actual, const QList<LogLine> &expected)
{
    if (actual.size() != expected.size())
        return false;
    for (qsizetype i = 0; i < actual.size(); ++i) {
        const LogLine &want = expected[i];
        const bool prefix = want.message.endsWith(u'…');
        const bool messageMatches =
            prefix ? actual[i].message.startsWith(want.message.chopped(1)) : actual[i].message == want.message;
        if (actual[i].type != want.type || actual[i].category != want.category || !messageMatches)
            return false;
    }
    return true;
}

const QString usingLine = QStringLiteral("I MozJPEG|Using cjpeg at %T for %N");
const QString mozjpegLine = QStringLiteral("I JPEGCompression|JPEG backend: mozjpeg, input: %S, output: %O");
const QString imageIOLine = QStringLiteral("I JPEGCompression|JPEG backend: ImageIO, input: %S, output: %O");
QString fallbackLine(const QString &reason)
{
    return QStringLiteral("C JPEGCompression|JPEG backend fallback to ImageIO, input: %S, reason: ") + reason;
}

} // namespace

void tst_JPEGCompressionBackend::initTestCase()
{
    QVERIFY(m_root.isValid());
    QVERIFY(QDir().mkpath(tmp()));
    m_tmpOverride = std::make_unique<TemporaryFolderOverride>(tmp());
}

void tst_JPEGCompressionBackend::cleanup()
{
    QCOMPARE(entryNames(tmp()), QStringList());
}

void tst_JPEGCompressionBackend::roads_data()
{
    QTest::addColumn<QString>("tool");      // "script", "none" (empty bundle) or "absent" (no mozjpeg encoder)
    QTest::addColumn<QByteArray>("script"); // the fake cjpeg's body
    QTest::addColumn<QString>("source");    // "photo", "missing", "text" or "undecodable"
    QTest::addColumn<bool>("outputFolderExists");
    QTest::addColumn<QStringList>("expectedLog");
    QTest::addColumn<QString>("expectedResult"); // "mozjpeg", "ImageIO" or the error message

    const QByteArray writesOutput("printf 'from mozjpeg' > \"$6\"");
    QTest::newRow("mozjpeg writes the file")
        << QStringLiteral("script") << writesOutput << QStringLiteral("photo") << true
        << QStringList{usingLine, mozjpegLine} << QStringLiteral("mozjpeg");
    QTest::newRow("mozjpeg output larger than the source is still taken")
        << QStringLiteral("script") << QByteArray("head -c 900000 /dev/zero > \"$6\"") << QStringLiteral("photo")
        << true << QStringList{usingLine, mozjpegLine} << QStringLiteral("mozjpeg");
    QTest::newRow("no cjpeg in the bundle")
        << QStringLiteral("none") << QByteArray() << QStringLiteral("photo") << true
        << QStringList{fallbackLine(QStringLiteral("未找到 mozjpeg 的 cjpeg，可继续回退到系统 JPEG 压缩")), imageIOLine}
        << QStringLiteral("ImageIO");
    QTest::newRow("cjpeg fails after writing part of the file")
        << QStringLiteral("script")
        << QByteArray("printf '\\377\\330\\377partial' > \"$6\"\necho 'Premature end of input file' >&2\nexit 1")
        << QStringLiteral("photo") << true
        << QStringList{usingLine, fallbackLine(QStringLiteral("mozjpeg 执行失败：Premature end of input file")),
                       imageIOLine}
        << QStringLiteral("ImageIO");
    QTest::newRow("cjpeg killed by a signal after writing its output")
        << QStringLiteral("script") << QByteArray("printf 'from mozjpeg' > \"$6\"\nkill -KILL $$")
        << QStringLiteral("photo") << true
        << QStringList{usingLine, fallbackLine(QStringLiteral("mozjpeg 执行失败：未知错误")), imageIOLine}
        << QStringLiteral("ImageIO");
    QTest::newRow("cjpeg is no program") << QStringLiteral("garbage") << QByteArray() << QStringLiteral("photo") << true
                                         << QStringList{usingLine, fallbackLine(QStringLiteral("mozjpeg 启动失败：…")),
                                                        imageIOLine}
                                         << QStringLiteral("ImageIO");
    QTest::newRow("cjpeg exits 0 without output")
        << QStringLiteral("script") << QByteArray("exit 0") << QStringLiteral("photo") << true
        << QStringList{usingLine, fallbackLine(QStringLiteral("无法读取输出文件大小")), imageIOLine}
        << QStringLiteral("ImageIO");
    QTest::newRow("source cannot be opened: both encoders fail")
        << QStringLiteral("script") << writesOutput << QStringLiteral("missing") << true
        << QStringList{usingLine, fallbackLine(QStringLiteral("图片读取失败"))} << QStringLiteral("图片读取失败");
    QTest::newRow("source is text: both encoders fail")
        << QStringLiteral("script") << writesOutput << QStringLiteral("text") << true
        << QStringList{usingLine, fallbackLine(QStringLiteral("无法解码图片内容"))}
        << QStringLiteral("无法解码图片内容");
    QTest::newRow("source does not decode: both encoders fail")
        << QStringLiteral("script") << writesOutput << QStringLiteral("undecodable") << true
        << QStringList{usingLine, fallbackLine(QStringLiteral("无法解码图片内容"))}
        << QStringLiteral("无法解码图片内容");
    QTest::newRow("output folder gone: the fallback fails too")
        << QStringLiteral("script") << QByteArray("exit 1") << QStringLiteral("photo") << false
        << QStringList{usingLine, fallbackLine(QStringLiteral("mozjpeg 执行失败：未知错误"))}
        << QStringLiteral("导出器创建失败");
    QTest::newRow("no mozjpeg encoder") << QStringLiteral("absent") << QByteArray() << QStringLiteral("photo") << true
                                        << QStringList{imageIOLine} << QStringLiteral("ImageIO");
    QTest::newRow("no mozjpeg encoder, source cannot be opened")
        << QStringLiteral("absent") << QByteArray() << QStringLiteral("missing") << true << QStringList{}
        << QStringLiteral("图片读取失败");
}

void tst_JPEGCompressionBackend::roads()
{
    QFETCH(QString, tool);
    QFETCH(QByteArray, script);
    QFETCH(QString, source);
    QFETCH(bool, outputFolderExists);
    QFETCH(QStringList, expectedLog);
    QFETCH(QString, expectedResult);

    const QString folder = m_root.filePath(QStringLiteral("case-%1").arg(++m_case));
    QVERIFY(QDir().mkpath(folder));
    const QString sourcePath = folder + QStringLiteral("/photo.jpg");
    const QImage picture = TestImages::photo(120, 80);
    if (source == u"photo")
        TestImages::write(picture, sourcePath, "jpeg", 95);
    else if (source == u"text")
        writeFile(sourcePath, "no picture in here");
    else if (source == u"undecodable")
        writeFile(sourcePath, QByteArray("\xFF\xD8\xFF\xE0 broken", 11));
    const QByteArray sourceHash = TestImages::sha256(sourcePath);
    const QString outputFolder = outputFolderExists ? folder : folder + QStringLiteral("/gone");
    const QString outputPath = outputFolder + QStringLiteral("/photo-1.jpg");

    const QString bundleRoot = folder + QStringLiteral("/bundle");
    const ApplicationBundle bundle = bundleAt(bundleRoot);
    const QString toolPath = executablesFolder(bundleRoot) + QStringLiteral("/cjpeg");
    if (tool == u"script")
        writeScript(toolPath, script);
    else if (tool == u"garbage")
        writeFile(toolPath, "\x7f not a program", true);
    std::optional<MozJPEGCompressionBackend> mozJPEG;
    if (tool != u"absent")
        mozJPEG.emplace(MozJPEGCommandLocator(bundle), 0.75);
    const JPEGCompressionBackend chain(0.75, mozJPEG, ImageIOJPEGCompressionBackend(0.75));

    const LogCapture log;
    const auto artifact = chain.compress(jpegProfile(sourcePath), QUrl::fromLocalFile(outputPath));
    const QList<LogLine> lines = log.lines();
    const QList<LogLine> expectedLines = expand(expectedLog, sourcePath, outputPath, toolPath);
    QVERIFY2(matches(lines, expectedLines),
             qPrintable(QStringLiteral("got:\n%1\nexpected:\n%2").arg(describe(lines), describe(expectedLines))));
    QCOMPARE(TestImages::sha256(sourcePath), sourceHash);

    if (expectedResult == u"mozjpeg") {
        QVERIFY(artifact);
        QCOMPARE(artifact->outputURL, QUrl::fromLocalFile(outputPath));
        QCOMPARE(artifact->outputBytes, QFileInfo(outputPath).size());
        QVERIFY(!QImageReader(outputPath).canRead()); // the fake tool's bytes, kept as they are
    } else if (expectedResult == u"ImageIO") {
        QVERIFY(artifact);
        QCOMPARE(artifact->outputURL, QUrl::fromLocalFile(outputPath));
        QCOMPARE(artifact->outputBytes, QFileInfo(outputPath).size());
        const QImage written(outputPath);
        QCOMPARE(written.size(), picture.size());
        QVERIFY(TestImages::meanColourError(written, picture) < 8.0);
    } else {
        QVERIFY(!artifact);
        QCOMPARE(artifact.error().localizedDescription(), expectedResult);
        QVERIFY(!QFileInfo::exists(outputPath));
    }
}

void tst_JPEGCompressionBackend::outputNameFollowsTheSource_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("preferredExtension");
    QTest::addColumn<QString>("expected");

    QTest::newRow("jpg") << QStringLiteral("photo.jpg") << QStringLiteral("jpg") << QStringLiteral("photo-1.jpg");
    QTest::newRow("JPEG in capitals") << QStringLiteral("photo.JPEG") << QStringLiteral("jpeg")
                                      << QStringLiteral("photo.jpeg");
    QTest::newRow("jpe") << QStringLiteral("scan.jpe") << QStringLiteral("jpg") << QStringLiteral("scan.jpg");
}

void tst_JPEGCompressionBackend::outputNameFollowsTheSource()
{
    QFETCH(QString, name);
    QFETCH(QString, preferredExtension);
    QFETCH(QString, expected);

    const QString folder = m_root.filePath(QStringLiteral("case-%1").arg(++m_case));
    QVERIFY(QDir().mkpath(folder));
    const QString sourcePath = folder + u'/' + name;
    writeFile(sourcePath, "x");
    ImageProfile profile = jpegProfile(sourcePath);
    profile.format = ImageFormat::jpeg(preferredExtension);
    const QUrl folderURL = QUrl::fromLocalFile(folder);

    const JPEGCompressionBackend chain(0.75, MozJPEGCompressionBackend(MozJPEGCommandLocator(bundleAt(folder)), 0.75),
                                       ImageIOJPEGCompressionBackend(0.75));
    const auto url = chain.makeOutputURL(profile, folderURL);
    QVERIFY(url);
    QCOMPARE(QFileInfo(url->toLocalFile()).fileName(), expected);
    const auto mozJPEGURL =
        MozJPEGCompressionBackend(MozJPEGCommandLocator(bundleAt(folder)), 0.75).makeOutputURL(profile, folderURL);
    const auto imageIOURL = ImageIOJPEGCompressionBackend(0.75).makeOutputURL(profile, folderURL);
    QVERIFY(mozJPEGURL && imageIOURL);
    QCOMPARE(*mozJPEGURL, *url);
    QCOMPARE(*imageIOURL, *url);
}

QTEST_GUILESS_MAIN(tst_JPEGCompressionBackend)
#include "tst_jpegcompressionbackend.moc"
