// The one external-tool road, each case run for both tools, cjpeg and pngquant: where the tool
// is found (the bundle's own executable, no PATH, no cache), the arguments that reach it, every
// way a run can end and the exact message it becomes, what is left on disk (the temporary PPM,
// an uppercase UUID in the temporary folder, and pngquant's scratch file never outlive a run), a
// tool that hangs when the service goes, and the chain: the tool first; on any failure of it the
// output removed, the reason logged and the in-process encoder in its place, with exactly one of
// the log sequences per file. Fake tools for the failures; the real bundled tools for the bytes.

#include "CompressionService.h"
#include "JPEGRoad.h"
#include "LogCapture.h"
#include "OutputFiles.h"
#include "PNGRoad.h"
#include "PPMPreprocessing.h"
#include "TestFiles.h"
#include "TestImages.h"

#include <QDir>
#include <QImageReader>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

#include <vector>

using namespace pressel;

using namespace Qt::StringLiterals;
using namespace TestFiles;

Q_DECLARE_METATYPE(CompressionPipelineError::Kind)

namespace {

const QRegularExpression ppmName(u"^[0-9A-F]{8}-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{12}\\.ppm$"_s);

bool isCJPEG(const QString &tool)
{
    return tool == u"cjpeg";
}

// The tool's name in messages.
QString label(const QString &tool)
{
    return isCJPEG(tool) ? u"mozjpeg"_s : tool;
}

ExternalToolBackend makeBackend(const QString &tool, const ApplicationBundle &bundle, double quality = 0.75)
{
    return isCJPEG(tool) ? makeMozJPEGBackend(bundle, quality) : makePNGQuantBackend(bundle, QualityRange{60, 80}, MetadataPolicy::strip);
}

std::shared_ptr<const CompressionBackend> makeChain(const QString &tool, const ApplicationBundle &bundle)
{
    return std::make_shared<FallbackChain>(isCJPEG(tool) ? makeJPEGRoad(bundle, 0.75)
                                                         : makePNGRoad(bundle, QualityRange{60, 80}, MetadataPolicy::strip));
}

// Where the service puts the output: the detected format's extension, the first free name.
QString outputFor(const ImageProfile &profile, const QString &folder)
{
    return makeUniqueOutputURL(profile.sourceURL, profile.format.fileExtension(), QUrl::fromLocalFile(folder))
        .toLocalFile();
}

ImageProfile profile(const QString &tool, const QString &path, const QString &extension = u"jpg"_s)
{
    return profileFor(path, isCJPEG(tool) ? ImageFormat::jpeg(extension) : ImageFormat::png());
}

// Installs the fake tool: a shell script whose $OUT is the tool's output argument, or, when the
// body is no script, those very bytes made executable.
bool installTool(const QString &tool, const QString &bundleRoot, QByteArray body)
{
    const QString path = executablesFolder(bundleRoot) + u'/' + tool;
    if (body.startsWith("#!") || body.startsWith('\x7f'))
        return writeFile(path, body, true);
    return writeScript(path, body.replace("$OUT", isCJPEG(tool) ? "\"$6\"" : "\"$3\""));
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

class tst_ToolRoad : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        QVERIFY(QDir().mkpath(tmp()));
        m_tmp.emplace(tmp()); // every temporary PPM lands here, so that leftovers show
    }

    void init()
    {
        QDir(folder()).removeRecursively();
        QVERIFY(QDir().mkpath(folder()));
    }

    void cleanup() { QCOMPARE(entryNames(tmp()), QStringList()); }

    void arguments_data()
    {
        QTest::addColumn<QString>("tool");
        QTest::addColumn<double>("quality");
        QTest::addColumn<QString>("sourceName"); // below the case's folder
        QTest::addColumn<bool>("outputTaken");
        QTest::addColumn<QString>("expected"); // %OUT the output, %SRC the source, %PPM the picture

        const QString cjpeg = u"-quality %1 -optimize -progressive -outfile %OUT %PPM"_s;
        const QString pngquant = u"--force --output %OUT --quality 60-80 --speed 1 --strip -- %SRC"_s;
        QTest::newRow("cjpeg: default quality") << "cjpeg" << 0.75 << "photo.jpg" << false << cjpeg.arg(75);
        QTest::newRow("cjpeg: 0.755 rounds half away from zero")
            << "cjpeg" << 0.755 << "photo.jpg" << false << cjpeg.arg(76);
        QTest::newRow("cjpeg: 0.285 lies just below 28.5") << "cjpeg" << 0.285 << "photo.jpg" << false << cjpeg.arg(28);
        QTest::newRow("cjpeg: 0.005") << "cjpeg" << 0.005 << "photo.jpg" << false << cjpeg.arg(1);
        QTest::newRow("cjpeg: 1.0") << "cjpeg" << 1.0 << "photo.jpg" << false << cjpeg.arg(100);
        QTest::newRow("cjpeg: spaces, Chinese, shell characters and leading hyphens")
            << "cjpeg" << 0.75 << "-照片 $HOME;`x` */-photo 1.jpg" << false << cjpeg.arg(75);
        QTest::newRow("pngquant: plain name") << "pngquant" << 0.0 << "shot.png" << false << pngquant;
        QTest::newRow("pngquant: a name that reads as an option")
            << "pngquant" << 0.0 << "--quality=1.png" << false << pngquant;
        QTest::newRow("pngquant: spaces, quotes and Chinese")
            << "pngquant" << 0.0 << "-my \"shot\" 截图 $HOME/-shot.png" << false << pngquant;
        QTest::newRow("pngquant: a file already at the output path")
            << "pngquant" << 0.0 << "shot.png" << true << pngquant;
    }

    void arguments()
    {
        QFETCH(QString, tool);
        QFETCH(double, quality);
        QFETCH(QString, sourceName);
        QFETCH(bool, outputTaken);
        QFETCH(QString, expected);

        const QString sourcePath = source(tool, sourceName);
        const QString place = QFileInfo(sourcePath).path();
        const QString temporary = place + u"/tmp "_s;
        QVERIFY(QDir().mkpath(temporary));
        const TemporaryFolderOverride override(temporary);
        const QString record = m_root.filePath(u"arguments"_s);
        const QString seen = m_root.filePath(u"seen"_s);
        const auto encoder = makeBackend(tool, bundleAt(bundleRoot()), quality);
        QVERIFY(installTool(tool, bundleRoot(),
                            "for a in \"$@\"; do printf '%s\\0' \"$a\"; done > " + shellQuoted(record) + '\n' +
                                (isCJPEG(tool) ? "cp \"$7\" " + shellQuoted(seen) + "\nprintf 'fake jpeg' > $OUT"
                                               : QByteArray("for last; do :; done\ncp -- \"$last\" $OUT"))));
        const QString output = outputFor(profile(tool, sourcePath), place);
        if (outputTaken)
            QVERIFY(writeFile(output, "an older file that --force lets pngquant replace"));
        auto sources = TestImages::fingerprint(place);
        sources.remove(output);

        const auto artifact = encoder.compress(profile(tool, sourcePath), QUrl::fromLocalFile(output));
        QVERIFY2(artifact, qPrintable(artifact ? QString() : artifact.error().localizedDescription()));
        QCOMPARE(artifact->outputURL, QUrl::fromLocalFile(output));
        QCOMPARE(artifact->outputBytes, QFileInfo(output).size());

        QStringList recorded = QString::fromUtf8(readFile(record)).split(QChar(0));
        recorded.removeLast();
        const QString ppm = isCJPEG(tool) ? recorded.value(6) : QString();
        QStringList arguments = expected.split(u' ');
        arguments.replaceInStrings(u"%OUT"_s, output).replaceInStrings(u"%SRC"_s, sourcePath);
        arguments.replaceInStrings(u"%PPM"_s, ppm);
        QCOMPARE(recorded, arguments);
        if (isCJPEG(tool)) {
            QCOMPARE(QFileInfo(ppm).absolutePath(), QDir(temporary).canonicalPath());
            QVERIFY2(ppmName.match(QFileInfo(ppm).fileName()).hasMatch(), qPrintable(ppm));
            const QByteArray header("P6\n96 64\n255\n");
            QVERIFY(readFile(seen).startsWith(header));
            QCOMPARE(readFile(seen).size(), header.size() + 96 * 64 * 3);
        } else {
            QCOMPARE(readFile(output), readFile(sourcePath));
        }
        auto after = TestImages::fingerprint(place);
        after.remove(output);
        QCOMPARE(after, sources); // no PPM left in the temporary folder either
    }

    void runs_data()
    {
        QTest::addColumn<QString>("tool");
        QTest::addColumn<QByteArray>("script"); // $OUT: the output argument
        QTest::addColumn<QString>("expected");  // the message, a prefix when it ends in "…", empty for success
        QTest::addColumn<CompressionPipelineError::Kind>("kind");
        QTest::addColumn<bool>("outputLeft");

        using K = CompressionPipelineError::Kind;
        const auto failed = K::backendExecutionFailed;
        for (const QString &tool : {u"cjpeg"_s, u"pngquant"_s}) {
            const QByteArray name = tool.toLatin1();
            const QString ranBadly = label(tool) + u" 执行失败："_s;
            const auto row = [&](const char *title) -> QTestData & {
                return QTest::addRow("%s: %s", name.constData(), title) << tool;
            };
            row("one line on stderr, blanks around it") << QByteArray("echo '  not a PPM file  ' >&2\nexit 1")
                                                        << ranBadly + u"not a PPM file"_s << failed << false;
            row("inner line breaks stay") << QByteArray("printf '\\n first\\nsecond\\n\\n' >&2\nexit 2")
                                          << ranBadly + u"first\nsecond"_s << failed << false;
            row("Chinese on stderr") << QByteArray("printf '无法写入\\n' >&2\nexit 1") << ranBadly + u"无法写入"_s
                                     << failed << false;
            row("nothing on stderr") << QByteArray("exit 99") << ranBadly + u"未知错误"_s << failed << false;
            row("blanks and line breaks only")
                << QByteArray("printf '  \\n\\t\\r\\n ' >&2\nexit 3") << ranBadly + u"未知错误"_s << failed << false;
            row("invalid UTF-8") << QByteArray("printf 'bad \\377\\376 bytes\\n' >&2\nexit 1")
                                 << ranBadly + u"未知错误"_s << failed << false;
            row("UTF-8 cut off at the end")
                << QByteArray("printf 'cut \\344\\270' >&2\nexit 1") << ranBadly + u"未知错误"_s << failed << false;
            row("partial output, then failure")
                << QByteArray("printf 'partial' > $OUT\necho 'Premature end' >&2\nexit 1")
                << ranBadly + u"Premature end"_s << failed << true;
            row("killed by a signal after writing its output")
                << QByteArray("printf 'whole' > $OUT\necho 'all done' >&2\nkill -KILL $$") << ranBadly + u"all done"_s
                << failed << true;
            row("killed by SIGSEGV, nothing on stderr")
                << QByteArray("kill -SEGV $$") << ranBadly + u"未知错误"_s << failed << false;
            row("more than a pipe holds on stderr, then failure")
                << QByteArray("head -c 2000000 /dev/zero | tr '\\0' e >&2\nexit 1") << ranBadly + QString(2000000, u'e')
                << failed << false;
            row("more than a pipe holds on stderr, then success")
                << QByteArray("head -c 3000000 /dev/zero | tr '\\0' w >&2\nprintf 'twelve bytes' > $OUT") << QString()
                << failed << true;
            row("exit status 0 without output")
                << QByteArray("exit 0") << u"无法读取输出文件大小"_s << K::outputStatFailed << false;
            row("bytes that are no program")
                << QByteArray("\x7f not a program\n\x01\x02") << label(tool) + u" 启动失败：…"_s << failed << false;
            row("a script whose interpreter is missing") << QByteArray("#!/nonexistent/interpreter\nexit 0\n")
                                                         << label(tool) + u" 启动失败：…"_s << failed << false;
        }
        // pngquant writes "<output>.tmp" and renames it; a killed run leaves it behind.
        QTest::newRow("pngquant: killed while writing its scratch file")
            << "pngquant" << QByteArray("printf 'half a picture' > \"$3.tmp\"\nkill -KILL $$")
            << u"pngquant 执行失败：未知错误"_s << failed << false;
    }

    void runs()
    {
        QFETCH(QString, tool);
        QFETCH(QByteArray, script);
        QFETCH(QString, expected);
        QFETCH(CompressionPipelineError::Kind, kind);
        QFETCH(bool, outputLeft);

        const QString sourcePath = source(tool);
        const QByteArray sourceHash = TestImages::sha256(sourcePath);
        const auto encoder = makeBackend(tool, bundleAt(bundleRoot()));
        QVERIFY(installTool(tool, bundleRoot(), script));
        const QString output = outputFor(profile(tool, sourcePath), folder());

        const auto artifact = encoder.compress(profile(tool, sourcePath), QUrl::fromLocalFile(output));
        if (expected.isEmpty()) {
            QVERIFY2(artifact, qPrintable(artifact ? QString() : artifact.error().localizedDescription().left(200)));
            QCOMPARE(artifact->outputBytes, 12);
        } else {
            QVERIFY(!artifact);
            const QString message = artifact.error().localizedDescription();
            if (expected.endsWith(u'…'))
                QVERIFY2(message.startsWith(expected.chopped(1)) && message.size() >= expected.size(),
                         qPrintable(message));
            else
                QVERIFY2(message == expected, qPrintable(message.left(200)));
            QVERIFY(artifact.error().is(kind));
        }
        QStringList entries{u"bundle"_s, QFileInfo(sourcePath).fileName()};
        if (outputLeft)
            entries.append(QFileInfo(output).fileName());
        entries.sort();
        QCOMPARE(entryNames(folder()), entries);
        QCOMPARE(TestImages::sha256(sourcePath), sourceHash);
    }

    void goingServiceEndsItsTool_data()
    {
        QTest::addColumn<QString>("tool");
        QTest::newRow("cjpeg") << "cjpeg";
        QTest::newRow("pngquant") << "pngquant";
    }

    void goingServiceEndsItsTool()
    {
        // The tool writes a partial output (and pngquant's scratch file), then hangs. Should the
        // service wait for it, the tool's own end after its sleep would leave an output that
        // counts; the sleep is the watchdog, not a figure the test asserts on.
        QFETCH(QString, tool);
        const QString sourcePath = source(tool);
        const QString pidFile = m_root.filePath(u"pid"_s);
        QFile::remove(pidFile);
        QVERIFY(installTool(tool, bundleRoot(),
                            "printf 'partial' > $OUT\n" + QByteArray(isCJPEG(tool) ? "" : "printf 'half' > \"$3.tmp\"\n") +
                                "echo $$ > " + shellQuoted(pidFile) + ".new\nmv " + shellQuoted(pidFile) + ".new " +
                                shellQuoted(pidFile) + "\nexec sleep 120"));
        const auto chain = makeChain(tool, bundleAt(bundleRoot()));
        auto service = std::make_unique<CompressionService>(
            ImageFormatDetector(), [chain](const CompressionSettings &) { return CompressionService::Backends{chain, chain}; });
        const QFuture<QList<CompressionResult>> batch = service->compressFiles({QUrl::fromLocalFile(sourcePath)});
        QTRY_VERIFY_WITH_TIMEOUT(QFileInfo::exists(pidFile), 100'000);
        const QByteArray pid = readFile(pidFile).trimmed();

        const LogCapture log;
        service.reset();
        QVERIFY(batch.isFinished());
        QVERIFY(!QFileInfo::exists(u"/proc/"_s + QString::fromLatin1(pid)));
        QCOMPARE(entryNames(folder()), (QStringList{u"bundle"_s, QFileInfo(sourcePath).fileName()}));
        QVERIFY2(!describe(log.lines()).contains(u"ImageIO"_s), qPrintable(describe(log.lines())));
    }

    void unwritableTemporaryFolder()
    {
        // Root writes anywhere, so no permission can refuse it; a folder below a file never exists.
        // The configured folder stays the place even so, rather than the working folder.
        QVERIFY(writeFile(folder() + u"/plain"_s, "a file, not a folder"));
        const TemporaryFolderOverride override(folder() + u"/plain/tmp"_s);
        const QString sourcePath = source(u"cjpeg"_s);
        const QString ran = m_root.filePath(u"ran"_s);
        const auto encoder = makeBackend(u"cjpeg"_s, bundleAt(bundleRoot()));
        QVERIFY(installTool(u"cjpeg"_s, bundleRoot(), "touch " + shellQuoted(ran)));
        const QStringList workingFolder = entryNames(QDir::currentPath());

        const auto artifact =
            encoder.compress(profile(u"cjpeg"_s, sourcePath), QUrl::fromLocalFile(sourcePath + u"-1"_s));
        QVERIFY(!artifact);
        QVERIFY(artifact.error().is(CompressionPipelineError::Kind::backendExecutionFailed));
        QVERIFY2(artifact.error().localizedDescription().startsWith(u"mozjpeg 输入预处理失败："_s),
                 qPrintable(artifact.error().localizedDescription()));
        QVERIFY(!QFileInfo::exists(ran));
        QCOMPARE(entryNames(QDir::currentPath()), workingFolder);
    }

    void takenScratchNameKeepsPNGQuantFromRunning()
    {
        const QString sourcePath = source(u"pngquant"_s);
        const QString ran = m_root.filePath(u"ran"_s);
        const auto encoder = makeBackend(u"pngquant"_s, bundleAt(bundleRoot()));
        QVERIFY(installTool(u"pngquant"_s, bundleRoot(),
                            "touch " + shellQuoted(ran) + "\nfor last; do :; done\ncp -- \"$last\" \"$3.tmp\"\nmv \"$3.tmp\" \"$3\""));
        const QString output = folder() + u"/shot-1.png"_s;
        const QString scratch = pngquantScratchPath(output);
        QVERIFY(writeFile(scratch, "the user's own file"));
        const auto before = TestImages::fingerprint(folder());

        const auto artifact = encoder.compress(profile(u"pngquant"_s, sourcePath), QUrl::fromLocalFile(output));
        QVERIFY(!artifact);
        QVERIFY(artifact.error().is(CompressionPipelineError::Kind::backendExecutionFailed));
        QCOMPARE(artifact.error().localizedDescription(), u"pngquant 启动失败：临时文件已存在："_s + scratch);
        QVERIFY(!QFileInfo::exists(ran));
        QCOMPARE(TestImages::fingerprint(folder()), before);
    }

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
            row("no tool in the bundle, source is text")
                << u"none"_s << QByteArray() << "text" << true << QStringList{fallback(notFound)} << "无法解码图片内容";
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

        const QString place = nextFolder();
        const QString sourcePath = place + (isCJPEG(tool) ? u"/photo.jpg"_s : u"/shot.png"_s);
        const QImage picture = TestImages::photo(120, 80);
        QVERIFY(QDir().mkpath(place));
        if (source == u"picture")
            TestImages::write(picture, sourcePath, isCJPEG(tool) ? "jpeg" : "png", 95);
        else if (source == u"text")
            QVERIFY(writeFile(sourcePath, "no picture in here"));
        const QByteArray sourceHash = TestImages::sha256(sourcePath);
        const QString outputPath =
            (outputFolderExists ? place : place + u"/gone"_s) + (isCJPEG(tool) ? u"/photo-1.jpg"_s : u"/shot-1.png"_s);
        const ApplicationBundle bundle = bundleAt(place + u"/bundle"_s);
        const QString toolPath = executablesFolder(place + u"/bundle"_s) + u'/' + tool;
        if (setup == u"script")
            QVERIFY(installTool(tool, place + u"/bundle"_s, script));
        const auto chain = makeChain(tool, bundle);

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
        QCOMPARE(entryNames(place), entries);
    }

    void locate_data()
    {
        QTest::addColumn<QString>("tool");
        QTest::addColumn<QString>("item"); // what lies in the executables folder: "*" executable, "/" folder
        QTest::addColumn<bool>("found");

        for (const QString tool : {u"cjpeg"_s, u"pngquant"_s}) {
            const QByteArray name = tool.toLatin1();
            const QString other = isCJPEG(tool) ? u"pngquant"_s : u"cjpeg"_s;
            QTest::addRow("%s: an executable of its name", name.data()) << tool << tool + u"*"_s << true;
            QTest::addRow("%s: not executable", name.data()) << tool << tool << false;
            QTest::addRow("%s: a folder of its name", name.data()) << tool << tool + u"/"_s << false;
            QTest::addRow("%s: only the other tool", name.data()) << tool << other + u"*"_s << false;
            QTest::addRow("%s: empty bundle", name.data()) << tool << QString() << false;
        }
    }

    void locate()
    {
        QFETCH(QString, tool);
        QFETCH(QString, item);
        QFETCH(bool, found);

        const QString root = nextFolder();
        const ApplicationBundle bundle = bundleAt(root);
        if (!item.isEmpty()) {
            const QString path = executablesFolder(root) + u'/' + item.chopped(item.endsWith(u'*') || item.endsWith(u'/'));
            if (item.endsWith(u'/'))
                QVERIFY(QDir().mkpath(path));
            else
                QVERIFY(writeFile(path, "#!/bin/sh\nexit 0\n", item.endsWith(u'*')));
        }
        const auto located = makeBackend(tool, bundle).locate();
        QCOMPARE(located ? located->toLocalFile() : QString(),
                 found ? executablesFolder(root) + u'/' + tool : QString());
    }

    void locateSeesChangesAndNeverSearchesPath_data()
    {
        QTest::addColumn<QString>("tool");
        QTest::newRow("cjpeg") << "cjpeg";
        QTest::newRow("pngquant") << "pngquant";
    }

    void locateSeesChangesAndNeverSearchesPath()
    {
        QFETCH(QString, tool);
        const QString root = nextFolder();
        const ExternalToolBackend backend = makeBackend(tool, bundleAt(root));
        const QByteArray path = qgetenv("PATH");
        QVERIFY(writeScript(root + u"/elsewhere/"_s + tool, "exit 0"));
        qputenv("PATH", QFile::encodeName(root + u"/elsewhere"_s));
        const auto onPath = backend.locate();
        qputenv("PATH", path);
        QVERIFY(!onPath);

        const QString inBundle = executablesFolder(root) + u'/' + tool;
        QVERIFY(writeScript(inBundle, "exit 0"));
        QCOMPARE(backend.locate(), QUrl::fromLocalFile(inBundle));
        QVERIFY(QFile::remove(inBundle));
        QVERIFY(!backend.locate());
    }

    void bundledToolsBytes_data()
    {
        QTest::addColumn<QString>("tool");
        QTest::addColumn<QString>("sourceName");
        QTest::addColumn<int>("orientation"); // the JPEG's EXIF orientation
        QTest::addColumn<QString>("inTheWay"); // "", "output" or "scratch": a file placed after naming

        QTest::newRow("cjpeg: upright") << "cjpeg" << "photo.jpg" << 1 << "";
        QTest::newRow("cjpeg: stored turned, tagged 6") << "cjpeg" << "photo.jpg" << 6 << "";
        QTest::newRow("pngquant: name beginning with a hyphen") << "pngquant" << "-shot.png" << 1 << "";
        QTest::newRow("pngquant: name that reads as an option") << "pngquant" << "--help.png" << 1 << "";
        QTest::newRow("pngquant: spaces and Chinese") << "pngquant" << "屏幕 截图 (1).png" << 1 << "";
        QTest::newRow("pngquant: a file already at the output path") << "pngquant" << "shot.png" << 1 << "output";
        QTest::newRow("pngquant: a file already at the scratch path") << "pngquant" << "shot.png" << 1 << "scratch";
    }

    void bundledToolsBytes()
    {
        // The real tools of the build tree's bundle behind their chains: the output holds the very
        // bytes of the tool run by hand on the same input (for cjpeg, the PPM of djpeg's pixels,
        // turned upright), but where the user's file at the scratch path keeps pngquant from running.
        QFETCH(QString, tool);
        QFETCH(QString, sourceName);
        QFETCH(int, orientation);
        QFETCH(QString, inTheWay);

        const QString program = buildPath(u"libexec/pressel/"_s + tool);
        QVERIFY2(QFileInfo(program).isExecutable(), qPrintable(program));
        const QString place = nextFolder();
        QVERIFY(QDir().mkpath(place));
        const QString sourcePath = place + u'/' + sourceName;
        const QImage picture = isCJPEG(tool) ? TestImages::photo(640, 400, 11) : TestImages::screenshot(400, 300);
        if (isCJPEG(tool))
            QVERIFY(writeFile(sourcePath, TestImages::orientedJPEG(picture, orientation)));
        else
            TestImages::write(picture, sourcePath, "png");
        const QString reference = m_root.filePath(u"reference-%1"_s.arg(m_case));
        if (isCJPEG(tool)) {
            const QString ppm = reference + u".ppm"_s;
            QCOMPARE(run(u"djpeg"_s, {u"-outfile"_s, ppm, sourcePath}).exitCode, 0);
            if (orientation == 6)
                QVERIFY(QImage(ppm).transformed(QTransform().rotate(90)).save(ppm, "PPM"));
            QCOMPARE(run(program, cjpegArguments(0.75, reference, ppm)).exitCode, 0);
        } else {
            QCOMPARE(run(program, pngquantArguments(reference, QualityRange{60, 80}, sourcePath)).exitCode, 0);
        }
        const ImageProfile source = profile(tool, sourcePath);
        const QString output = outputFor(source, place);
        if (inTheWay == u"output")
            QVERIFY(writeFile(output, "an older file in the way"));
        if (inTheWay == u"scratch")
            QVERIFY(writeFile(pngquantScratchPath(output), "the user's own notes"));
        auto before = TestImages::fingerprint(place);
        before.remove(output);

        const auto artifact = makeChain(tool, buildBundle())->compress(source, QUrl::fromLocalFile(output));
        QVERIFY2(artifact, qPrintable(artifact ? QString() : artifact.error().localizedDescription()));
        QCOMPARE(artifact->outputBytes, QFileInfo(output).size());
        if (inTheWay == u"scratch") // the in-process encoder wrote instead, losslessly
            QCOMPARE(QImage(output).convertToFormat(QImage::Format_RGB32), picture);
        else
            QVERIFY(readFile(output) == readFile(reference));
        if (isCJPEG(tool)) {
            QImageReader reader(output);
            reader.setAutoTransform(false); // the pixels themselves are upright, no tag turns them
            const QImage written = reader.read();
            const QImage upright = orientation == 6 ? picture.transformed(QTransform().rotate(90)) : picture;
            QCOMPARE(written.size(), upright.size());
            QVERIFY(TestImages::meanColourError(written, upright) < 6.0);
        }
        auto after = TestImages::fingerprint(place);
        after.remove(output);
        QCOMPARE(after, before);
    }

private:
    QString nextFolder() { return m_root.filePath(u"chain-case-%1"_s.arg(++m_case)); }
    // Each case's source, output and bundle, emptied before every case.
    QString folder() const { return m_root.filePath(u"case"_s); }
    QString bundleRoot() const { return folder() + u"/bundle"_s; }
    QString tmp() const { return m_root.filePath(u"tmp"_s); }
    // A source picture for the tool, at a path relative to the case's folder.
    QString source(const QString &tool, const QString &name = {}) const;

    QTemporaryDir m_root;
    std::optional<TemporaryFolderOverride> m_tmp;
    int m_case = 0;
};

QString tst_ToolRoad::source(const QString &tool, const QString &name) const
{
    const QString path = folder() + u'/' + (name.isEmpty() ? (isCJPEG(tool) ? u"photo.jpg"_s : u"shot.png"_s) : name);
    QDir().mkpath(QFileInfo(path).path());
    TestImages::write(TestImages::photo(96, 64), path, isCJPEG(tool) ? "jpeg" : "png", 92);
    return path;
}

QTEST_GUILESS_MAIN(tst_ToolRoad)
#include "tst_toolroad.moc"
