// SPDX-License-Identifier: GPL-3.0-or-later
// The one external-tool road, each case run for both tools, cjpeg and pngquant: the ways a run
// can end and the message each becomes, that nothing is left on disk (no PPM in the temporary
// folder, nothing beside the source), a tool that hangs when the service goes, and the chain:
// the tool first, the in-process encoder on any failure of it. Fake tools for the failures; the real bundled tools for the bytes.

#include "CompressionService.h"
#include "JPEGEncoder.h"
#include "PrivateFile.h"
#include "PNGEncoder.h"
#include "PPMPreprocessing.h"
#include "TestFiles.h"
#include "TestImages.h"

#include <QBuffer>
#include <QDir>
#include <QImageReader>
#include <QTemporaryDir>
#include <QTest>

#include <vector>

using namespace pressel;
using namespace Qt::StringLiterals;
using namespace TestFiles;


namespace {

bool isCJPEG(const QString &tool)
{
    return tool == u"cjpeg";
}

// The tool's name in messages.
QString label(const QString &tool)
{
    return isCJPEG(tool) ? u"mozjpeg"_s : tool;
}

ToolEncoder makeEncoder(const QString &tool, const InstallLayout &bundle, int quality = 75)
{
    return isCJPEG(tool) ? makeMozJPEGEncoder(bundle, quality)
                         : makePNGQuantEncoder(bundle, QualityRange{60, 80}, MetadataPolicy::strip);
}

std::shared_ptr<const Encoder> makeChain(const QString &tool, const InstallLayout &bundle)
{
    return std::make_shared<FallbackEncoder>(isCJPEG(tool) ? makeJPEGEncoder(bundle, 75)
                                                         : makePNGEncoder(bundle, QualityRange{60, 80}, MetadataPolicy::strip));
}

ImageProfile profile(const QString &tool, const QString &path, const QString &extension = u"jpg"_s)
{
    return profileFor(path, isCJPEG(tool) ? ImageFormat::jpeg(extension) : ImageFormat::png());
}

// Installs the fake tool: a shell script whose $OUT is the tool's output (its standard output) and $END
// appends the bytes a whole picture ends with, or, when the body is no script, those very bytes
// made executable.
bool installTool(const QString &tool, const QString &bundleRoot, QByteArray body)
{
    const QString path = executablesFolder(bundleRoot) + u'/' + tool;
    if (body.startsWith("#!") || body.startsWith('\x7f'))
        return writeFile(path, body, true);
    body.replace("$END", isCJPEG(tool) ? "printf '\\377\\331'" : "printf '\\0\\0\\0\\0IEND\\256B`\\202'");
    return writeScript(path, body.replace("$OUT", "/dev/stdout"));
}

} // namespace

class tst_ToolEncoder : public QObject
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

    void runs_data()
    {
        QTest::addColumn<QString>("tool");
        QTest::addColumn<QByteArray>("script"); // $OUT: the tool's output
        QTest::addColumn<int>("reason");        // -1 for success
        QTest::addColumn<QString>("words");     // the failure's last argument; "…" for any
        for (const QString &tool : {u"cjpeg"_s, u"pngquant"_s}) {
            const QByteArray name = tool.toLatin1();
            const auto row = [&](const char *title) -> QTestData & {
                return QTest::addRow("%s: %s", name.constData(), title) << tool;
            };
            const int ranBadly = Failure::toolRunFailed;
            row("one line on stderr, blanks around it") << QByteArray("echo '  not a PPM file  ' >&2\nexit 1")
                                                        << ranBadly << u"not a PPM file"_s;
            row("nothing on stderr") << QByteArray("exit 99") << ranBadly << QString();
            row("partial output, then failure")
                << QByteArray("printf 'partial' > $OUT\necho 'Premature end' >&2\nexit 1") << ranBadly
                << u"Premature end"_s;
            row("killed by a signal after writing its output")
                << QByteArray("printf 'whole' > $OUT\necho 'all done' >&2\nkill -KILL $$") << ranBadly << u"all done"_s;
            row("more than a pipe holds on stderr, then success")
                << QByteArray("head -c 3000000 /dev/zero | tr '\\0' w >&2\nprintf 'whole' > $OUT\n$END >> $OUT") << -1
                << QString();
            row("exit status 0 without output") << QByteArray("exit 0") << int(Failure::writeFailed) << QString();
            // As a tool that ignores its write errors leaves them on a full disk.
            row("exit status 0, empty output") << QByteArray(": > $OUT") << int(Failure::writeFailed) << QString();
            row("exit status 0, output cut short")
                << QByteArray("printf 'half a picture' > $OUT") << int(Failure::writeFailed) << QString();
            row("bytes that are no program")
                << QByteArray("\x7f not a program\n\x01\x02") << int(Failure::toolStartFailed) << u"…"_s;
        }
    }

    void runs()
    {
        QFETCH(QString, tool);
        QFETCH(QByteArray, script);
        QFETCH(int, reason);
        QFETCH(QString, words);

        const QString sourcePath = source(tool);
        const QByteArray sourceHash = TestImages::sha256(sourcePath);
        const auto encoder = makeEncoder(tool, bundleAt(bundleRoot()));
        QVERIFY(installTool(tool, bundleRoot(), script));
        auto output = PrivateFile::create(folder());
        QVERIFY(output);

        const auto artifact = encoder.compress(profile(tool, sourcePath), *output, {});
        if (reason < 0) {
            QVERIFY2(artifact, qPrintable(artifact ? QString() : artifact.error().sourceText().left(200)));
            QVERIFY(output->readAll().startsWith("whole"));
        } else {
            QVERIFY(!artifact);
            QCOMPARE(int(artifact.error().reason()), reason);
            const QStringList arguments = artifact.error().arguments();
            if (reason == Failure::toolRunFailed || reason == Failure::toolStartFailed) {
                QCOMPARE(arguments.value(0), label(tool));
                QVERIFY2(words == u"…" ? !arguments.value(1).isEmpty() : arguments.value(1) == words,
                         qPrintable(arguments.value(1).left(200)));
            }
        }
        output.reset();
        QCOMPARE(entryNames(folder()), QStringList({u"bundle"_s, QFileInfo(sourcePath).fileName()}));
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
        // The tool writes a partial output, then hangs. Should the
        // service wait for it, the tool's own end after its sleep would leave an output that
        // counts; the sleep is the watchdog, not a figure the test asserts on.
        QFETCH(QString, tool);
        const QString sourcePath = source(tool);
        const QString pidFile = m_root.filePath(u"pid"_s);
        QFile::remove(pidFile);
        QVERIFY(installTool(tool, bundleRoot(),
                            "printf 'partial' > $OUT\necho $$ > " + shellQuoted(pidFile) + ".new\nmv " + shellQuoted(pidFile) + ".new " +
                                shellQuoted(pidFile) + "\nexec sleep 120"));
        const auto chain = makeChain(tool, bundleAt(bundleRoot()));
        auto service = std::make_unique<CompressionService>(
            ImageFormatDetector(), [chain](const CompressionSettings &) { return EncoderTable{chain, chain, {}, {}}; });
        const QFuture<QList<CompressionResult>> batch = service->compressFiles({QUrl::fromLocalFile(sourcePath)});
        QTRY_VERIFY_WITH_TIMEOUT(QFileInfo::exists(pidFile), 100'000);
        const QByteArray pid = readFile(pidFile).trimmed();

        service.reset();
        QVERIFY(batch.isFinished());
        QVERIFY(!QFileInfo::exists(u"/proc/"_s + QString::fromLatin1(pid)));
        QCOMPARE(entryNames(folder()), (QStringList{u"bundle"_s, QFileInfo(sourcePath).fileName()}));
    }

    // The chain: the tool's bytes when it succeeds; on any failure of it the in-process encoder
    // writing the output anew; a source neither can read fails with the reader's words.
    void chain_data()
    {
        QTest::addColumn<QString>("tool");
        QTest::addColumn<QByteArray>("script"); // $OUT: the output argument; empty: no tool in the bundle
        QTest::addColumn<QString>("source");    // "picture" or "text"
        QTest::addColumn<QString>("expected"); // "tool", "in-process" or the error's message

        for (const QString &tool : {u"cjpeg"_s, u"pngquant"_s}) {
            const QByteArray t = tool.toLatin1();
            const auto row = [&](const char *title) -> QTestData & {
                return QTest::addRow("%s: %s", t.constData(), title) << tool;
            };
            row("the tool's output is taken, even when larger than the source")
                << QByteArray("head -c 900000 /dev/zero > $OUT\n$END >> $OUT") << "picture" << "tool";
            row("no tool in the bundle") << QByteArray() << "picture" << "in-process";
            row("a larger partial output, then failure")
                << QByteArray("head -c 2000000 /dev/zero > $OUT\necho ' boom ' >&2\nexit 1") << "picture" << "in-process";
            row("killed by a signal after writing its output")
                << QByteArray("printf 'whole' > $OUT\nkill -KILL $$") << "picture" << "in-process";
            row("source is text, both fail") << QByteArray("printf 'partial' > $OUT\nexit 1") << "text"
                                             << "无法解码图片内容";
        }
    }

    void chain()
    {
        QFETCH(QString, tool);
        QFETCH(QByteArray, script);
        QFETCH(QString, source);
        QFETCH(QString, expected);

        const QString place = nextFolder();
        const QString sourcePath = place + (isCJPEG(tool) ? u"/photo.jpg"_s : u"/shot.png"_s);
        const QImage picture = TestImages::photo(120, 80);
        QVERIFY(QDir().mkpath(place));
        if (source == u"picture")
            TestImages::write(picture, sourcePath, isCJPEG(tool) ? "jpeg" : "png", 95);
        else if (source == u"text")
            QVERIFY(writeFile(sourcePath, "no picture in here"));
        const QByteArray sourceHash = TestImages::sha256(sourcePath);
        if (!script.isEmpty())
            QVERIFY(installTool(tool, place + u"/bundle"_s, script));

        auto output = PrivateFile::create(place);
        QVERIFY(output);
        const auto artifact = makeChain(tool, bundleAt(place + u"/bundle"_s))->compress(profile(tool, sourcePath), *output, {});
        QCOMPARE(TestImages::sha256(sourcePath), sourceHash);
        if (expected == u"tool" || expected == u"in-process") {
            QVERIFY2(artifact, qPrintable(artifact ? QString() : artifact.error().sourceText()));
            const QByteArray bytes = output->readAll();
            const QImage written = QImage::fromData(bytes);
            if (expected == u"tool")
                QCOMPARE(bytes.first(900000), QByteArray(900000, '\0')); // the tool's bytes, as they are
            else if (isCJPEG(tool))
                QVERIFY(TestImages::meanColourError(written, picture) < 8.0);
            else
                QCOMPARE(written.convertToFormat(QImage::Format_RGB32), picture); // lossless, nothing of the partial
        } else {
            QVERIFY(!artifact);
            QCOMPARE(artifact.error().sourceText(), expected);
        }
        output.reset();
        QCOMPARE(entryNames(place), QStringList({u"bundle"_s, QFileInfo(sourcePath).fileName()}));
    }

    void bundledToolsBytes_data()
    {
        QTest::addColumn<QString>("tool");
        QTest::addColumn<QString>("sourceName");
        QTest::addColumn<int>("orientation"); // the JPEG's EXIF orientation

        QTest::newRow("cjpeg: upright") << "cjpeg" << "photo.jpg" << 1;
        QTest::newRow("cjpeg: stored turned, tagged 6") << "cjpeg" << "photo.jpg" << 6;
        QTest::newRow("pngquant: spaces and Chinese") << "pngquant" << "屏幕 截图 (1).png" << 1;
    }

    void bundledToolsBytes()
    {
        // The real tools of the build tree's bundle behind their chains: the output holds the very
        // bytes of the tool run by hand on the same input (for cjpeg, the PPM of djpeg's pixels,
        // turned upright).
        QFETCH(QString, tool);
        QFETCH(QString, sourceName);
        QFETCH(int, orientation);

        const QString program = buildPath(u"libexec/pressel/"_s + tool);
        QVERIFY2(QFileInfo(program).isExecutable(), qPrintable(program));
        const QString place = nextFolder();
        QVERIFY(QDir().mkpath(place));
        const QString sourcePath = place + u'/' + sourceName;
        const QImage picture = isCJPEG(tool) ? TestImages::photo(640, 400, 11) : TestImages::transparentGraphic(400, 300);
        if (isCJPEG(tool))
            QVERIFY(
                writeFile(sourcePath, TestImages::orientedJPEG(TestImages::encode(picture, "jpeg", 95), orientation)));
        else
            TestImages::write(picture, sourcePath, "png");
        const QString reference = m_root.filePath(u"reference-%1"_s.arg(m_case));
        if (isCJPEG(tool)) {
            const QString ppm = reference + u".ppm"_s;
            QCOMPARE(run(u"djpeg"_s, {u"-outfile"_s, ppm, sourcePath}).exitCode, 0);
            if (orientation == 6)
                QVERIFY(QImage(ppm).transformed(QTransform().rotate(90)).save(ppm, "PPM"));
            QCOMPARE(run(program, cjpegArguments(75) << u"-outfile"_s << reference << ppm).exitCode, 0);
        } else {
            QStringList arguments = pngquantArguments(QualityRange{60, 80});
            arguments.removeLast(); // by name rather than on standard input
            QCOMPARE(run(program, arguments << u"--output"_s << reference << u"--"_s << sourcePath).exitCode, 0);
        }
        const ImageProfile source = profile(tool, sourcePath);
        const auto before = TestImages::fingerprint(place);
        auto output = PrivateFile::create(place);
        QVERIFY(output);

        const auto artifact = makeChain(tool, buildBundle())->compress(source, *output, {});
        QVERIFY2(artifact, qPrintable(artifact ? QString() : artifact.error().sourceText()));
        const QByteArray bytes = output->readAll();
        QVERIFY(bytes == readFile(reference));
        if (isCJPEG(tool)) {
            QBuffer buffer;
            buffer.setData(bytes);
            QImageReader reader(&buffer);
            reader.setAutoTransform(false); // the pixels themselves are upright, no tag turns them
            const QImage written = reader.read();
            const QImage upright = orientation == 6 ? picture.transformed(QTransform().rotate(90)) : picture;
            QCOMPARE(written.size(), upright.size());
            QVERIFY(TestImages::meanColourError(written, upright) < 6.0);
        }
        output.reset();
        QCOMPARE(TestImages::fingerprint(place), before);
    }

private:
    QString nextFolder() { return m_root.filePath(u"chain-case-%1"_s.arg(++m_case)); }
    // Each case's source, output and bundle, emptied before every case.
    QString folder() const { return m_root.filePath(u"case"_s); }
    QString bundleRoot() const { return folder() + u"/bundle"_s; }
    QString tmp() const { return m_root.filePath(u"tmp"_s); }
    // A source picture for the tool in the case's folder.
    QString source(const QString &tool) const
    {
        const QString path = folder() + (isCJPEG(tool) ? u"/photo.jpg"_s : u"/shot.png"_s);
        TestImages::write(TestImages::photo(96, 64), path, isCJPEG(tool) ? "jpeg" : "png", 92);
        return path;
    }

    QTemporaryDir m_root;
    std::optional<TemporaryFolderOverride> m_tmp;
    int m_case = 0;
};

QTEST_GUILESS_MAIN(tst_ToolEncoder)
#include "tst_toolencoder.moc"
