// PNGCompressionBackend: pngquant first, the in-process encoder on any failure of it, exactly
// one of the chain's log sequences per file, and nothing of a failed attempt left behind.

#include "PNGCompressionBackend.h"
#include "PNGTestSupport.h"
#include "TestImages.h"

#include <QDir>
#include <QImageReader>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

using namespace PNGTestSupport;

namespace {

enum class Tool { inChain, notInBundle, notInChain };
enum class Source { picture, textFile, emptyFile };
enum class Writer { pngquant, imageIO, nobody };

} // namespace

Q_DECLARE_METATYPE(Tool)
Q_DECLARE_METATYPE(Source)
Q_DECLARE_METATYPE(Writer)

class tst_PNGCompressionBackend : public QObject
{
    Q_OBJECT

private slots:
    void logsOneSequencePerFile_data();
    void logsOneSequencePerFile();
    void fallbackReplacesPartialOutputAtSameURL();
    void chainAnswersOutputNameLikeItsEncoders();
};

// Expected lines are "<category> <info|error> <message>"; {IN}, {OUT} and {TOOL} stand for the
// source path, the output path and the fake tool's path, and a message ending in "…" is
// matched as a prefix.
void tst_PNGCompressionBackend::logsOneSequencePerFile_data()
{
    QTest::addColumn<Tool>("tool");
    QTest::addColumn<QByteArray>("script");
    QTest::addColumn<Source>("source");
    QTest::addColumn<Writer>("writer");
    QTest::addColumn<QString>("error");
    QTest::addColumn<QStringList>("expectedLog");

    const QString using_ = QStringLiteral("PNGQuant info Using pngquant at {TOOL} for shot.png");
    const QString pngquantLine =
        QStringLiteral("PNGCompression info PNG backend: pngquant, input: {IN}, output: {OUT}");
    const QString imageIOLine = QStringLiteral("PNGCompression info PNG backend: ImageIO, input: {IN}, output: {OUT}");
    const auto fallback = [](const QString &reason) -> QString {
        return QStringLiteral("PNGCompression error PNG backend fallback to ImageIO, input: {IN}, reason: ") + reason;
    };
    const QByteArray copy = "cp -- \"$9\" \"$3\"";

    QTest::newRow("pngquant writes the file") << Tool::inChain << copy << Source::picture << Writer::pngquant
                                              << QString() << QStringList{using_, pngquantLine};
    QTest::newRow("pngquant output larger than the source is kept")
        << Tool::inChain << QByteArray(copy + "\nhead -c 4096 /dev/zero >> \"$3\"") << Source::picture
        << Writer::pngquant << QString() << QStringList{using_, pngquantLine};
    QTest::newRow("pngquant not in the bundle")
        << Tool::notInBundle << QByteArray() << Source::picture << Writer::imageIO << QString()
        << QStringList{fallback(QStringLiteral("未找到 pngquant，可继续回退到系统 PNG 压缩")), imageIOLine};
    QTest::newRow("pngquant fails after a partial write")
        << Tool::inChain << QByteArray("printf 'partial' > \"$3\"\nprintf ' boom \\n' >&2\nexit 1") << Source::picture
        << Writer::imageIO << QString()
        << QStringList{using_, fallback(QStringLiteral("pngquant 执行失败：boom")), imageIOLine};
    QTest::newRow("pngquant refuses, quality too low")
        << Tool::inChain << QByteArray("exit 99") << Source::picture << Writer::imageIO << QString()
        << QStringList{using_, fallback(QStringLiteral("pngquant 执行失败：未知错误")), imageIOLine};
    QTest::newRow("pngquant killed after a full write")
        << Tool::inChain << QByteArray(copy + "\nkill -KILL $$") << Source::picture << Writer::imageIO << QString()
        << QStringList{using_, fallback(QStringLiteral("pngquant 执行失败：未知错误")), imageIOLine};
    QTest::newRow("pngquant exits 0 without writing")
        << Tool::inChain << QByteArray("exit 0") << Source::picture << Writer::imageIO << QString()
        << QStringList{using_, fallback(QStringLiteral("无法读取输出文件大小")), imageIOLine};
    QTest::newRow("pngquant cannot be launched")
        << Tool::inChain << QByteArray("\x01\x02 no program", 12) << Source::picture << Writer::imageIO << QString()
        << QStringList{using_, fallback(QStringLiteral("pngquant 启动失败：…")), imageIOLine};
    QTest::newRow("pngquant not in the chain") << Tool::notInChain << QByteArray() << Source::picture << Writer::imageIO
                                               << QString() << QStringList{imageIOLine};
    QTest::newRow("both fail: undecodable source")
        << Tool::inChain << QByteArray("printf 'partial' > \"$3\"\nexit 1") << Source::textFile << Writer::nobody
        << QStringLiteral("无法解码图片内容")
        << QStringList{using_, fallback(QStringLiteral("pngquant 执行失败：未知错误"))};
    QTest::newRow("both fail: empty source")
        << Tool::notInBundle << QByteArray() << Source::emptyFile << Writer::nobody << QStringLiteral("图片读取失败")
        << QStringList{fallback(QStringLiteral("未找到 pngquant，可继续回退到系统 PNG 压缩"))};
    QTest::newRow("not in the chain, encoder fails")
        << Tool::notInChain << QByteArray() << Source::textFile << Writer::nobody << QStringLiteral("无法解码图片内容")
        << QStringList{};
}

void tst_PNGCompressionBackend::logsOneSequencePerFile()
{
    QFETCH(Tool, tool);
    QFETCH(QByteArray, script);
    QFETCH(Source, source);
    QFETCH(Writer, writer);
    QFETCH(QString, error);
    QFETCH(QStringList, expectedLog);

    QTemporaryDir root;
    QVERIFY(root.isValid());
    const ApplicationBundle bundle = bundleAt(root.path());
    const QString toolPath = executablesFolder(root.path()) + QStringLiteral("/pngquant");
    if (tool == Tool::inChain) {
        if (script.startsWith('\x01'))
            writeFile(toolPath, script, true);
        else
            writeScript(toolPath, script);
    }
    const QString folder = root.filePath(QStringLiteral("pictures"));
    QDir().mkpath(folder);
    const QString sourcePath = folder + QStringLiteral("/shot.png");
    const QImage picture = TestImages::transparentGraphic(96, 64);
    switch (source) {
    case Source::picture:
        TestImages::write(picture, sourcePath, "png");
        break;
    case Source::textFile:
        writeFile(sourcePath, "this is a note, not a picture\n");
        break;
    case Source::emptyFile:
        writeFile(sourcePath, {});
        break;
    }
    const auto sources = TestImages::fingerprint(folder);

    std::optional<PNGQuantCompressionBackend> pngQuant;
    if (tool != Tool::notInChain)
        pngQuant.emplace(PNGQuantCommandLocator(bundle), QualityRange{60, 80});
    const PNGCompressionBackend chain(pngQuant, ImageIOPNGCompressionBackend());
    const ImageProfile profile = pngProfile(sourcePath);
    const auto outputURL = chain.makeOutputURL(profile, QUrl::fromLocalFile(folder));
    QVERIFY(outputURL);
    const QString outputPath = outputURL->toLocalFile();
    QCOMPARE(outputPath, folder + QStringLiteral("/shot-1.png"));

    LogCapture log;
    const auto artifact = chain.compress(profile, *outputURL);
    const QList<LogLine> lines = log.lines();

    QStringList actualLog;
    for (const LogLine &line : lines) {
        const QString level = line.type == QtInfoMsg       ? QStringLiteral("info")
                              : line.type == QtCriticalMsg ? QStringLiteral("error")
                                                           : QStringLiteral("other");
        actualLog.append(line.category + u' ' + level + u' ' + line.message);
    }
    QCOMPARE(actualLog.size(), expectedLog.size());
    for (qsizetype i = 0; i < expectedLog.size(); ++i) {
        QString expected = expectedLog.at(i);
        expected.replace(QStringLiteral("{TOOL}"), toolPath)
            .replace(QStringLiteral("{OUT}"), outputPath)
            .replace(QStringLiteral("{IN}"), sourcePath);
        if (expected.endsWith(u'…')) {
            expected.chop(1);
            QVERIFY2(actualLog.at(i).startsWith(expected) && actualLog.at(i).size() > expected.size(),
                     qPrintable(actualLog.at(i)));
        } else {
            QCOMPARE(actualLog.at(i), expected);
        }
    }

    auto after = TestImages::fingerprint(folder);
    if (writer == Writer::nobody) {
        QVERIFY(!artifact);
        QCOMPARE(artifact.error().localizedDescription(), error);
        QCOMPARE(after, sources);
        return;
    }
    QVERIFY2(artifact, qPrintable(artifact ? QString() : artifact.error().localizedDescription()));
    QCOMPARE(artifact->outputURL, *outputURL);
    QCOMPARE(artifact->outputBytes, QFileInfo(outputPath).size());
    QCOMPARE(fileNames(folder), (QStringList{QStringLiteral("shot-1.png"), QStringLiteral("shot.png")}));
    after.remove(outputPath);
    QCOMPARE(after, sources);
    if (writer == Writer::imageIO) {
        // The in-process encoder is lossless: the picture survives pixel for pixel.
        QImageReader reader(outputPath, "png");
        const QImage written = reader.read();
        QVERIFY2(!written.isNull(), qPrintable(reader.errorString()));
        QCOMPARE(written.convertToFormat(QImage::Format_ARGB32), picture.convertToFormat(QImage::Format_ARGB32));
    }
}

void tst_PNGCompressionBackend::fallbackReplacesPartialOutputAtSameURL()
{
    QTemporaryDir root;
    QVERIFY(root.isValid());
    const ApplicationBundle bundle = bundleAt(root.path());
    const QString folder = root.filePath(QStringLiteral("pictures"));
    QVERIFY(QDir().mkpath(folder));
    const QString sourcePath = folder + QStringLiteral("/photo.png");
    TestImages::write(TestImages::photo(80, 60), sourcePath, "png");
    // A partial file that is larger than anything the encoder writes, so a truncating
    // rewrite without removal would show as trailing bytes.
    writeScript(executablesFolder(root.path()) + QStringLiteral("/pngquant"),
                "head -c 2000000 /dev/zero > \"$3\"\nexit 3");
    const PNGCompressionBackend chain(PNGQuantCompressionBackend(PNGQuantCommandLocator(bundle), QualityRange{60, 80}));
    const ImageProfile profile = pngProfile(sourcePath);
    const QUrl outputURL = *chain.makeOutputURL(profile, QUrl::fromLocalFile(folder));
    LogCapture log;

    const auto artifact = chain.compress(profile, outputURL);

    QVERIFY(artifact);
    QCOMPARE(artifact->outputURL, outputURL);
    QVERIFY(artifact->outputBytes < 2000000);
    QCOMPARE(QFileInfo(outputURL.toLocalFile()).size(), artifact->outputBytes);
    QCOMPARE(QImage(outputURL.toLocalFile()).convertToFormat(QImage::Format_RGB32),
             TestImages::photo(80, 60).convertToFormat(QImage::Format_RGB32));
}

void tst_PNGCompressionBackend::chainAnswersOutputNameLikeItsEncoders()
{
    QTemporaryDir root;
    QVERIFY(root.isValid());
    const QString folder = root.path();
    const QString sourcePath = folder + QStringLiteral("/Scan.Final.PNG");
    TestImages::write(TestImages::photo(16, 16), sourcePath, "png");
    writeFile(folder + QStringLiteral("/Scan.Final.png"), "taken");
    const ImageProfile profile = pngProfile(sourcePath);
    const QUrl folderURL = QUrl::fromLocalFile(folder);
    const PNGQuantCompressionBackend pngQuant(PNGQuantCommandLocator(bundleAt(root.filePath(QStringLiteral("b")))),
                                              QualityRange{60, 80});

    const auto fromChain = PNGCompressionBackend(pngQuant).makeOutputURL(profile, folderURL);
    const auto fromPNGQuant = pngQuant.makeOutputURL(profile, folderURL);
    const auto fromImageIO = ImageIOPNGCompressionBackend().makeOutputURL(profile, folderURL);

    QVERIFY(fromChain && fromPNGQuant && fromImageIO);
    QCOMPARE(fromChain->toLocalFile(), folder + QStringLiteral("/Scan.Final-1.png"));
    QCOMPARE(*fromPNGQuant, *fromChain);
    QCOMPARE(*fromImageIO, *fromChain);
}

QTEST_MAIN(tst_PNGCompressionBackend)
#include "tst_pngcompressionbackend.moc"
