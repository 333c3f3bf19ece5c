// The JPEG and PNG chains with fake tools: the tool first; on any failure of it the output
// removed, the reason logged and the in-process encoder in its place; exactly one of the log
// sequences per file. Rows run for both roads where the rule is one.

#include "JPEGCompressionBackend.h"
#include "LogCapture.h"
#include "PNGCompressionBackend.h"
#include "TestFiles.h"
#include "TestImages.h"

#include <QDir>
#include <QTemporaryDir>
#include <QTest>

#include <vector>

using namespace Qt::StringLiterals;
using namespace TestFiles;

namespace {

bool isCJPEG(const QString &tool)
{
    return tool == u"cjpeg";
}

// setup: "script" (the tool in the bundle), "none" (an empty bundle) or "absent" (no tool encoder).
std::unique_ptr<CompressionBackend> makeChain(const QString &tool, const QString &setup,
                                              const ApplicationBundle &bundle)
{
    if (isCJPEG(tool)) {
        std::optional<MozJPEGCompressionBackend> mozJPEG;
        if (setup != u"absent")
            mozJPEG.emplace(MozJPEGCommandLocator(bundle), 0.75);
        return std::make_unique<JPEGCompressionBackend>(0.75, mozJPEG, ImageIOJPEGCompressionBackend(0.75));
    }
    std::optional<PNGQuantCompressionBackend> pngQuant;
    if (setup != u"absent")
        pngQuant.emplace(PNGQuantCommandLocator(bundle), QualityRange{60, 80});
    return std::make_unique<PNGCompressionBackend>(pngQuant);
}

ImageProfile profile(const QString &tool, const QString &path, const QString &extension = u"jpg"_s)
{
    return profileFor(path, isCJPEG(tool) ? ImageFormat::jpeg(extension) : ImageFormat::png());
}

// Whether the lines match "<I|C> <component>|<message>" patterns, with %S the source path, %N its
// file name, %O the output path and %T the tool; a message ending in "…" is a prefix.
bool matches(const QList<LogLine> &lines, const QStringList &patterns, const QMap<QString, QString> &values)
{
    if (lines.size() != patterns.size())
        return false;
    for (qsizetype i = 0; i < lines.size(); ++i) {
        const qsizetype bar = patterns[i].indexOf(u'|');
        QString message = patterns[i].mid(bar + 1);
        for (auto it = values.cbegin(); it != values.cend(); ++it)
            message.replace(it.key(), it.value());
        const bool prefix = message.endsWith(u'…');
        if (lines[i].type != (patterns[i].startsWith(u'C') ? QtCriticalMsg : QtInfoMsg) ||
            lines[i].category != patterns[i].mid(2, bar - 2) ||
            !(prefix ? lines[i].message.startsWith(message.chopped(1)) : lines[i].message == message))
            return false;
    }
    return true;
}

} // namespace

class tst_FallbackChains : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        QVERIFY(QDir().mkpath(m_root.filePath(u"tmp"_s)));
        m_tmp.emplace(m_root.filePath(u"tmp"_s));
    }

    void cleanup() { QCOMPARE(entryNames(m_root.filePath(u"tmp"_s)), QStringList()); }

    void logSequences_data()
    {
        QTest::addColumn<QString>("tool");
        QTest::addColumn<QString>("setup");
        QTest::addColumn<QByteArray>("script"); // $OUT: the output argument
        QTest::addColumn<QString>("source");    // "picture", "missing" or "text"
        QTest::addColumn<bool>("outputFolderExists");
        QTest::addColumn<QStringList>("expectedLog");
        QTest::addColumn<QString>("expectedResult"); // "tool", "ImageIO" or the error's message

        for (const QString &tool : {u"cjpeg"_s, u"pngquant"_s}) {
            const QString format = isCJPEG(tool) ? u"JPEG"_s : u"PNG"_s;
            const QString name = isCJPEG(tool) ? u"mozjpeg"_s : tool;
            const QString chain = u"%1Compression|%1 backend: "_s.arg(format);
            const QString usingTool =
                u"I %1|Using %2 at %T for %N"_s.arg(isCJPEG(tool) ? u"MozJPEG"_s : u"PNGQuant"_s, tool);
            const QString viaTool = u"I "_s + chain + name + u", input: %S, output: %O"_s;
            const QString viaImageIO = u"I "_s + chain + u"ImageIO, input: %S, output: %O"_s;
            const auto fallback = [&](const QString &reason) -> QString {
                return u"C %1Compression|%1 backend fallback to ImageIO, input: %S, reason: "_s.arg(format) + reason;
            };
            const QString unknown = name + u" 执行失败：未知错误"_s;
            const QString notFound = isCJPEG(tool) ? u"未找到 mozjpeg 的 cjpeg，可继续回退到系统 JPEG 压缩"_s
                                                   : u"未找到 pngquant，可继续回退到系统 PNG 压缩"_s;
            const QByteArray t = tool.toLatin1();
            const auto row = [&](const char *title) -> QTestData & {
                return QTest::addRow("%s: %s", t.constData(), title) << tool;
            };
            row("the tool's output is taken, even when larger than the source")
                << u"script"_s << QByteArray("head -c 900000 /dev/zero > $OUT") << "picture" << true
                << QStringList{usingTool, viaTool} << "tool";
            row("no tool in the bundle") << u"none"_s << QByteArray() << "picture" << true
                                         << QStringList{fallback(notFound), viaImageIO} << "ImageIO";
            row("a larger partial output, then failure")
                << u"script"_s << QByteArray("head -c 2000000 /dev/zero > $OUT\necho ' boom ' >&2\nexit 1") << "picture"
                << true << QStringList{usingTool, fallback(name + u" 执行失败：boom"_s), viaImageIO} << "ImageIO";
            row("killed by a signal after writing its output")
                << u"script"_s << QByteArray("printf 'whole' > $OUT\nkill -KILL $$") << "picture" << true
                << QStringList{usingTool, fallback(unknown), viaImageIO} << "ImageIO";
            row("exit status 0 without output")
                << u"script"_s << QByteArray("exit 0") << "picture" << true
                << QStringList{usingTool, fallback(u"无法读取输出文件大小"_s), viaImageIO} << "ImageIO";
            row("the tool is no program")
                << u"script"_s << QByteArray("\x7f not a program") << "picture" << true
                << QStringList{usingTool, fallback(name + u" 启动失败：…"_s), viaImageIO} << "ImageIO";
            row("output folder gone: the in-process encoder fails too")
                << u"script"_s << QByteArray("exit 1") << "picture" << false
                << QStringList{usingTool, fallback(unknown)} << "导出器创建失败";
            row("no tool encoder in the chain")
                << u"absent"_s << QByteArray() << "picture" << true << QStringList{viaImageIO} << "ImageIO";
            row("no tool encoder, source is text")
                << u"absent"_s << QByteArray() << "text" << true << QStringList{} << "无法解码图片内容";
        }
        // cjpeg reads the picture through the decoder first; pngquant reads the source itself.
        const QString jpegFallback = u"C JPEGCompression|JPEG backend fallback to ImageIO, input: %S, reason: "_s;
        QTest::newRow("cjpeg: source missing, both fail")
            << "cjpeg" << u"script"_s << QByteArray("exit 1") << "missing" << true
            << QStringList{u"I MozJPEG|Using cjpeg at %T for %N"_s, jpegFallback + u"图片读取失败"_s} << "图片读取失败";
        QTest::newRow("cjpeg: source is text, both fail")
            << "cjpeg" << u"script"_s << QByteArray("exit 1") << "text" << true
            << QStringList{u"I MozJPEG|Using cjpeg at %T for %N"_s, jpegFallback + u"无法解码图片内容"_s}
            << "无法解码图片内容";
        QTest::newRow("pngquant: source is text, both fail")
            << "pngquant" << u"script"_s << QByteArray("printf 'partial' > $OUT\nexit 1") << "text" << true
            << QStringList{u"I PNGQuant|Using pngquant at %T for %N"_s,
                           u"C PNGCompression|PNG backend fallback to ImageIO, input: %S, reason: pngquant 执行失败：未知错误"_s}
            << "无法解码图片内容";
    }

    void logSequences()
    {
        QFETCH(QString, tool);
        QFETCH(QString, setup);
        QFETCH(QByteArray, script);
        QFETCH(QString, source);
        QFETCH(bool, outputFolderExists);
        QFETCH(QStringList, expectedLog);
        QFETCH(QString, expectedResult);

        const QString folder = nextFolder();
        const QString sourcePath = folder + (isCJPEG(tool) ? u"/photo.jpg"_s : u"/shot.png"_s);
        const QImage picture = TestImages::photo(120, 80);
        QVERIFY(QDir().mkpath(folder));
        if (source == u"picture")
            TestImages::write(picture, sourcePath, isCJPEG(tool) ? "jpeg" : "png", 95);
        else if (source == u"text")
            QVERIFY(writeFile(sourcePath, "no picture in here"));
        const QByteArray sourceHash = TestImages::sha256(sourcePath);
        const QString outputPath = (outputFolderExists ? folder : folder + u"/gone"_s) +
                                   (isCJPEG(tool) ? u"/photo-1.jpg"_s : u"/shot-1.png"_s);
        const ApplicationBundle bundle = bundleAt(folder + u"/bundle"_s);
        const QString toolPath = executablesFolder(folder + u"/bundle"_s) + u'/' + tool;
        if (setup == u"script") {
            QVERIFY(script.startsWith('\x7f')
                        ? writeFile(toolPath, script, true)
                        : writeScript(toolPath, script.replace("$OUT", isCJPEG(tool) ? "\"$6\"" : "\"$3\"")));
        }
        const auto chain = makeChain(tool, setup, bundle);

        const LogCapture log;
        const auto artifact = chain->compress(profile(tool, sourcePath), QUrl::fromLocalFile(outputPath));
        const QMap<QString, QString> values{{u"%S"_s, sourcePath},
                                            {u"%N"_s, QFileInfo(sourcePath).fileName()},
                                            {u"%O"_s, outputPath},
                                            {u"%T"_s, toolPath}};
        QVERIFY2(matches(log.lines(), expectedLog, values),
                 qPrintable(u"got:\n"_s + describe(log.lines()) + u"\nexpected:\n"_s + expectedLog.join(u'\n')));
        QCOMPARE(TestImages::sha256(sourcePath), sourceHash);

        QStringList entries{u"bundle"_s};
        if (source != u"missing")
            entries.append(QFileInfo(sourcePath).fileName());
        if (expectedResult == u"tool" || expectedResult == u"ImageIO") {
            QVERIFY(artifact);
            QCOMPARE(artifact->outputURL, QUrl::fromLocalFile(outputPath));
            QCOMPARE(artifact->outputBytes, QFileInfo(outputPath).size());
            entries.append(QFileInfo(outputPath).fileName());
            const QImage written(outputPath);
            if (expectedResult == u"tool")
                QCOMPARE(readFile(outputPath), QByteArray(900000, '\0')); // the tool's bytes, as they are
            else if (isCJPEG(tool))
                QVERIFY(TestImages::meanColourError(written, picture) < 8.0);
            else
                QCOMPARE(written.convertToFormat(QImage::Format_RGB32), picture); // lossless, nothing of the partial
        } else {
            QVERIFY(!artifact);
            QCOMPARE(artifact.error().localizedDescription(), expectedResult);
            QVERIFY(!QFileInfo::exists(outputPath));
        }
        entries.sort();
        QCOMPARE(entryNames(folder), entries);
    }

    void outputNamesAgree_data()
    {
        QTest::addColumn<QString>("tool");
        QTest::addColumn<QStringList>("existing"); // the source first
        QTest::addColumn<QString>("extension");    // the detected format's preferred extension
        QTest::addColumn<QString>("expected");

        using L = QStringList;
        QTest::newRow("cjpeg: the source's own name is taken") << "cjpeg" << L{u"photo.jpg"_s} << "jpg"
                                                               << "photo-1.jpg";
        QTest::newRow("cjpeg: JPEG keeps its spelling") << "cjpeg" << L{u"photo.JPEG"_s} << "jpeg"
                                                        << "photo.jpeg";
        QTest::newRow("cjpeg: jpe becomes jpg") << "cjpeg" << L{u"scan.jpe"_s} << "jpg"
                                                << "scan.jpg";
        QTest::newRow("pngquant: capitals and a taken name")
            << "pngquant" << L{u"Scan.Final.PNG"_s, u"Scan.Final.png"_s} << ""
            << "Scan.Final-1.png";
        QTest::newRow("pngquant: a PNG named .jpg") << "pngquant" << L{u"p.jpg"_s} << ""
                                                    << "p.png";
    }

    void outputNamesAgree()
    {
        QFETCH(QString, tool);
        QFETCH(QStringList, existing);
        QFETCH(QString, extension);
        QFETCH(QString, expected);

        const QString folder = nextFolder();
        for (const QString &name : existing)
            QVERIFY(writeFile(folder + u'/' + name, "x"));
        const ImageProfile source = profile(tool, folder + u'/' + existing.first(), extension);
        const QUrl folderURL = QUrl::fromLocalFile(folder);
        const ApplicationBundle bundle = bundleAt(folder + u"/bundle"_s);
        std::vector<std::unique_ptr<CompressionBackend>> encoders;
        encoders.push_back(makeChain(tool, u"script"_s, bundle));
        if (isCJPEG(tool)) {
            encoders.push_back(std::make_unique<MozJPEGCompressionBackend>(MozJPEGCommandLocator(bundle), 0.75));
            encoders.push_back(std::make_unique<ImageIOJPEGCompressionBackend>(0.75));
        } else {
            encoders.push_back(
                std::make_unique<PNGQuantCompressionBackend>(PNGQuantCommandLocator(bundle), QualityRange{}));
            encoders.push_back(std::make_unique<ImageIOPNGCompressionBackend>());
        }
        for (const auto &encoder : encoders)
            QCOMPARE(encoder->makeOutputURL(source, folderURL)->toLocalFile(), folder + u'/' + expected);
    }

private:
    QString nextFolder() { return m_root.filePath(u"case-%1"_s.arg(++m_case)); }

    QTemporaryDir m_root;
    std::optional<TemporaryFolderOverride> m_tmp;
    int m_case = 0;
};

QTEST_GUILESS_MAIN(tst_FallbackChains)
#include "tst_fallbackchains.moc"
