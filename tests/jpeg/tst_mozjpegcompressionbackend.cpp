// MozJPEGCompressionBackend with fake cjpeg scripts: the command line that reaches the tool,
// every failure and its message, the temporary PPM and its removal on every path.

#include "JPEGTestSupport.h"
#include "MozJPEGCompressionBackend.h"
#include "TestImages.h"

#include <QDir>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

using namespace JPEGTestSupport;

class tst_MozJPEGCompressionBackend : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void temporaryPPMURL();
    void temporaryPPMURLKeepsAMissingFolder();
    void commandLine_data();
    void commandLine();
    void toolFailures_data();
    void toolFailures();
    void launchFailures_data();
    void launchFailures();
    void chattyToolThatSucceeds();
    void missingTool();
    void unreadableSource_data();
    void unreadableSource();
    void unwritableTemporaryFolder();

private:
    // A folder of its own for each test function, below the test's root.
    QString caseFolder() const { return m_root.filePath(QString::fromLatin1(QTest::currentTestFunction())); }
    QString tmp() const { return m_root.filePath(QStringLiteral("tmp")); }
    // A source photo in `folder`.
    QString makeSource(const QString &folder, const QString &name = QStringLiteral("photo.jpg")) const;
    // A backend whose bundle holds `script` as its auxiliary cjpeg.
    MozJPEGCompressionBackend backendWithScript(const QString &bundleRoot, const QByteArray &script,
                                                double quality = 0.75) const;

    QTemporaryDir m_root;
    std::unique_ptr<TemporaryFolderOverride> m_tmpOverride;
};

namespace {

const QString notFound = QStringLiteral("未找到 mozjpeg 的 cjpeg，可继续回退到系统 JPEG 压缩");

// A cjpeg that records its arguments (NUL-separated) in `record`, keeps a copy of the picture
// it was given as `seen`, and writes a small output file.
QByteArray recordingScript(const QString &record, const QString &seen)
{
    return "for a in \"$@\"; do printf '%s\\0' \"$a\"; done > " + shellQuoted(record) + "\n" + "cp \"$7\" " +
           shellQuoted(seen) + "\n" + "printf 'fake jpeg' > \"$6\"\n";
}

QStringList recordedArguments(const QString &record)
{
    QByteArray bytes = readFile(record);
    if (bytes.endsWith('\0'))
        bytes.chop(1);
    QStringList arguments;
    for (const QByteArray &argument : bytes.split('\0'))
        arguments.append(QString::fromUtf8(argument));
    return arguments;
}

const QRegularExpression
    ppmName(QStringLiteral("^[0-9A-F]{8}-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{12}\\.ppm$"));

} // namespace

void tst_MozJPEGCompressionBackend::initTestCase()
{
    QVERIFY(m_root.isValid());
    QVERIFY(QDir().mkpath(tmp()));
    // Every temporary picture of this test lands here, so leftovers can be counted.
    m_tmpOverride = std::make_unique<TemporaryFolderOverride>(tmp());
}

void tst_MozJPEGCompressionBackend::init()
{
    QDir(caseFolder()).removeRecursively();
    QVERIFY(QDir().mkpath(caseFolder()));
}

void tst_MozJPEGCompressionBackend::cleanup()
{
    QCOMPARE(entryNames(tmp()), QStringList());
}

QString tst_MozJPEGCompressionBackend::makeSource(const QString &folder, const QString &name) const
{
    QDir().mkpath(folder);
    const QString path = QDir(folder).filePath(name);
    TestImages::write(TestImages::photo(96, 64), path, "jpeg", 92);
    return path;
}

MozJPEGCompressionBackend tst_MozJPEGCompressionBackend::backendWithScript(const QString &bundleRoot,
                                                                           const QByteArray &script,
                                                                           double quality) const
{
    const ApplicationBundle bundle = bundleAt(bundleRoot);
    writeScript(executablesFolder(bundleRoot) + QStringLiteral("/cjpeg"), script);
    return MozJPEGCompressionBackend(MozJPEGCommandLocator(bundle), quality);
}

void tst_MozJPEGCompressionBackend::temporaryPPMURL()
{
    QSet<QString> names;
    for (int i = 0; i < 200; ++i) {
        const QUrl url = MozJPEGCompressionBackend::makeTemporaryPPMURL();
        QVERIFY(url.isLocalFile());
        const QFileInfo info(url.toLocalFile());
        QCOMPARE(info.absolutePath(), QDir(tmp()).canonicalPath());
        QVERIFY2(ppmName.match(info.fileName()).hasMatch(), qPrintable(info.fileName()));
        names.insert(info.fileName());
    }
    QCOMPARE(names.size(), 200);
}

void tst_MozJPEGCompressionBackend::temporaryPPMURLKeepsAMissingFolder()
{
    const QString missing = caseFolder() + QStringLiteral("/not here");
    const TemporaryFolderOverride override(missing);
    const QFileInfo info(MozJPEGCompressionBackend::makeTemporaryPPMURL().toLocalFile());
    QVERIFY(info.isAbsolute());
    QCOMPARE(info.absolutePath(), missing);
    QVERIFY(ppmName.match(info.fileName()).hasMatch());
}

void tst_MozJPEGCompressionBackend::commandLine_data()
{
    QTest::addColumn<double>("quality");
    QTest::addColumn<QString>("percent");
    QTest::addColumn<QString>("folderName"); // holds the source, the output and the temporary folder

    QTest::newRow("default quality") << 0.75 << QStringLiteral("75") << QStringLiteral("plain");
    QTest::newRow("0.755 rounds half away from zero") << 0.755 << QStringLiteral("76") << QStringLiteral("plain");
    QTest::newRow("0.285 is just below 28.5") << 0.285 << QStringLiteral("28") << QStringLiteral("plain");
    QTest::newRow("1.0") << 1.0 << QStringLiteral("100") << QStringLiteral("plain");
    QTest::newRow("0.0") << 0.0 << QStringLiteral("0") << QStringLiteral("plain");
    QTest::newRow("0.005") << 0.005 << QStringLiteral("1") << QStringLiteral("plain");
    QTest::newRow("not clamped above 1") << 1.5 << QStringLiteral("150") << QStringLiteral("plain");
    QTest::newRow("spaces") << 0.75 << QStringLiteral("75") << QStringLiteral("my photos  2024");
    QTest::newRow("Chinese") << 0.75 << QStringLiteral("75") << QStringLiteral("照片 文件夹");
    QTest::newRow("leading hyphen") << 0.75 << QStringLiteral("75") << QStringLiteral("-quality 10");
    QTest::newRow("shell characters") << 0.75 << QStringLiteral("75") << QStringLiteral("$HOME;`x` *?");
}

void tst_MozJPEGCompressionBackend::commandLine()
{
    QFETCH(double, quality);
    QFETCH(QString, percent);
    QFETCH(QString, folderName);

    const QString folder = caseFolder() + u'/' + folderName;
    const QString temporary = folder + QStringLiteral("/tmp ");
    QVERIFY(QDir().mkpath(temporary));
    const TemporaryFolderOverride override(temporary);
    const QString source = makeSource(folder, QStringLiteral("-photo 1.jpg"));
    const QString output = folder + QStringLiteral("/-photo 1-1.jpg");
    const QString record = caseFolder() + QStringLiteral("/argv");
    const QString seen = caseFolder() + QStringLiteral("/seen.ppm");
    const auto backend =
        backendWithScript(caseFolder() + QStringLiteral("/bundle"), recordingScript(record, seen), quality);

    const auto artifact = backend.compress(jpegProfile(source), QUrl::fromLocalFile(output));
    QVERIFY2(artifact, qPrintable(artifact ? QString() : artifact.error().localizedDescription()));
    QCOMPARE(artifact->outputURL, QUrl::fromLocalFile(output));
    QCOMPARE(artifact->outputBytes, qint64(9));

    const QStringList arguments = recordedArguments(record);
    QCOMPARE(arguments.size(), 7);
    QCOMPARE(arguments.mid(0, 6), (QStringList{QStringLiteral("-quality"), percent, QStringLiteral("-optimize"),
                                               QStringLiteral("-progressive"), QStringLiteral("-outfile"), output}));
    const QFileInfo ppm(arguments[6]);
    QCOMPARE(ppm.absolutePath(), QDir(temporary).canonicalPath());
    QVERIFY2(ppmName.match(ppm.fileName()).hasMatch(), qPrintable(arguments[6]));
    QVERIFY(!ppm.exists());
    QVERIFY(readFile(seen).startsWith("P6\n96 64\n255\n"));
    QCOMPARE(readFile(seen).size(), QByteArray("P6\n96 64\n255\n").size() + 96 * 64 * 3);
    QCOMPARE(entryNames(temporary), QStringList());
}

void tst_MozJPEGCompressionBackend::toolFailures_data()
{
    QTest::addColumn<QByteArray>("script");
    QTest::addColumn<QString>("expected");
    QTest::addColumn<bool>("outputLeft"); // the backend leaves a partial output to the chain

    const QString failed = QStringLiteral("mozjpeg 执行失败：");
    QTest::newRow("one line on stderr") << QByteArray("echo '  cjpeg: not a PPM file  ' >&2\nexit 1")
                                        << failed + QStringLiteral("cjpeg: not a PPM file") << false;
    QTest::newRow("inner line breaks stay") << QByteArray("printf '\\n first\\nsecond\\n\\n' >&2\nexit 2")
                                            << failed + QStringLiteral("first\nsecond") << false;
    QTest::newRow("Chinese on stderr") << QByteArray("printf '无法写入\\n' >&2\nexit 1")
                                       << failed + QStringLiteral("无法写入") << false;
    QTest::newRow("nothing on stderr") << QByteArray("exit 1") << failed + QStringLiteral("未知错误") << false;
    QTest::newRow("blanks and line breaks only")
        << QByteArray("printf '  \\n\\t\\r\\n ' >&2\nexit 3") << failed + QStringLiteral("未知错误") << false;
    QTest::newRow("invalid UTF-8") << QByteArray("printf 'bad \\377\\376 bytes\\n' >&2\nexit 1")
                                   << failed + QStringLiteral("未知错误") << false;
    QTest::newRow("truncated UTF-8 at the end")
        << QByteArray("printf 'cut \\344\\270' >&2\nexit 1") << failed + QStringLiteral("未知错误") << false;
    QTest::newRow("partial output, then failure")
        << QByteArray("printf '\\377\\330\\377partial' > \"$6\"\necho 'Premature end of input' >&2\nexit 1")
        << failed + QStringLiteral("Premature end of input") << true;
    QTest::newRow("killed by a signal") << QByteArray("kill -KILL $$") << failed + QStringLiteral("未知错误") << false;
    QTest::newRow("killed by a signal after writing its output")
        << QByteArray("printf 'whole' > \"$6\"\necho 'all done' >&2\nkill -KILL $$")
        << failed + QStringLiteral("all done") << true;
    QTest::newRow("more than a pipe holds on stderr, then failure")
        << QByteArray("head -c 2000000 /dev/zero | tr '\\0' 'e' >&2\nexit 1") << failed + QString(2000000, u'e')
        << false;
    QTest::newRow("exit status 0 without output")
        << QByteArray("exit 0") << QStringLiteral("无法读取输出文件大小") << false;
}

void tst_MozJPEGCompressionBackend::toolFailures()
{
    QFETCH(QByteArray, script);
    QFETCH(QString, expected);
    QFETCH(bool, outputLeft);

    const QString source = makeSource(caseFolder());
    const QByteArray sourceHash = TestImages::sha256(source);
    const QString output = caseFolder() + QStringLiteral("/photo-1.jpg");
    const auto backend = backendWithScript(caseFolder() + QStringLiteral("/bundle"), script);

    const auto artifact = backend.compress(jpegProfile(source), QUrl::fromLocalFile(output));
    QVERIFY(!artifact);
    const QString message = artifact.error().localizedDescription();
    QVERIFY2(message == expected, qPrintable(message.left(200)));
    const bool statFailure = expected == u"无法读取输出文件大小";
    QVERIFY(artifact.error().is(statFailure ? CompressionPipelineError::Kind::outputStatFailed
                                            : CompressionPipelineError::Kind::backendExecutionFailed));
    QCOMPARE(QFileInfo::exists(output), outputLeft);
    QCOMPARE(TestImages::sha256(source), sourceHash);
}

void tst_MozJPEGCompressionBackend::launchFailures_data()
{
    QTest::addColumn<QByteArray>("content");

    QTest::newRow("bytes that are no program") << QByteArray("\x13\x37 this is not a program\n\x01\x02");
    QTest::newRow("empty file") << QByteArray();
    QTest::newRow("script whose interpreter is missing") << QByteArray("#!/nonexistent/interpreter\nexit 0\n");
}

void tst_MozJPEGCompressionBackend::launchFailures()
{
    QFETCH(QByteArray, content);

    const QString source = makeSource(caseFolder());
    const QString output = caseFolder() + QStringLiteral("/photo-1.jpg");
    const QString bundleRoot = caseFolder() + QStringLiteral("/bundle");
    const ApplicationBundle bundle = bundleAt(bundleRoot);
    writeFile(executablesFolder(bundleRoot) + QStringLiteral("/cjpeg"), content, true);
    const MozJPEGCompressionBackend backend(MozJPEGCommandLocator(bundle), 0.75);
    QVERIFY(MozJPEGCommandLocator(bundle).locate());

    const auto artifact = backend.compress(jpegProfile(source), QUrl::fromLocalFile(output));
    QVERIFY(!artifact);
    QVERIFY(artifact.error().is(CompressionPipelineError::Kind::backendExecutionFailed));
    const QString message = artifact.error().localizedDescription();
    const QString prefix = QStringLiteral("mozjpeg 启动失败：");
    QVERIFY2(message.startsWith(prefix) && message.size() > prefix.size(), qPrintable(message));
    QVERIFY(!QFileInfo::exists(output));
}

void tst_MozJPEGCompressionBackend::chattyToolThatSucceeds()
{
    const QString source = makeSource(caseFolder());
    const QString output = caseFolder() + QStringLiteral("/photo-1.jpg");
    const auto backend =
        backendWithScript(caseFolder() + QStringLiteral("/bundle"), "head -c 3000000 /dev/zero | tr '\\0' 'w' >&2\n"
                                                                    "printf 'twelve bytes' > \"$6\"\n"
                                                                    "head -c 100000 /dev/zero | tr '\\0' 'w' >&2\n"
                                                                    "exit 0");

    const auto artifact = backend.compress(jpegProfile(source), QUrl::fromLocalFile(output));
    QVERIFY2(artifact, qPrintable(artifact ? QString() : artifact.error().localizedDescription().left(200)));
    QCOMPARE(artifact->outputBytes, qint64(12));
}

void tst_MozJPEGCompressionBackend::missingTool()
{
    const QString source = makeSource(caseFolder());
    const QString output = caseFolder() + QStringLiteral("/photo-1.jpg");
    const MozJPEGCompressionBackend backend(MozJPEGCommandLocator(bundleAt(caseFolder() + QStringLiteral("/bundle"))),
                                            0.75);

    const LogCapture log;
    const auto artifact = backend.compress(jpegProfile(source), QUrl::fromLocalFile(output));
    QVERIFY(!artifact);
    QVERIFY(artifact.error().is(CompressionPipelineError::Kind::backendUnavailable));
    QCOMPARE(artifact.error().localizedDescription(), notFound);
    QVERIFY2(log.lines().isEmpty(), qPrintable(describe(log.lines())));
    QVERIFY(!QFileInfo::exists(output));
}

void tst_MozJPEGCompressionBackend::unreadableSource_data()
{
    QTest::addColumn<QByteArray>("content"); // empty: no file at all
    QTest::addColumn<QString>("expected");

    QTest::newRow("missing") << QByteArray() << QStringLiteral("图片读取失败");
    QTest::newRow("text") << QByteArray("just some words, no picture") << QStringLiteral("无法解码图片内容");
    QTest::newRow("JPEG header, no picture")
        << QByteArray("\xFF\xD8\xFF\xE0 broken", 11) << QStringLiteral("无法解码图片内容");
}

void tst_MozJPEGCompressionBackend::unreadableSource()
{
    QFETCH(QByteArray, content);
    QFETCH(QString, expected);

    const QString source = caseFolder() + QStringLiteral("/broken.jpg");
    if (!content.isEmpty())
        writeFile(source, content);
    const QString output = caseFolder() + QStringLiteral("/broken-1.jpg");
    const QString record = caseFolder() + QStringLiteral("/argv");
    const QString bundleRoot = caseFolder() + QStringLiteral("/bundle");
    const auto backend = backendWithScript(bundleRoot, recordingScript(record, caseFolder() + QStringLiteral("/seen")));

    const LogCapture log;
    const auto artifact = backend.compress(jpegProfile(source), QUrl::fromLocalFile(output));
    QVERIFY(!artifact);
    QCOMPARE(artifact.error().localizedDescription(), expected);
    QVERIFY(!QFileInfo::exists(record));
    const QList<LogLine> expectedLines{{QtInfoMsg, QStringLiteral("MozJPEG"),
                                        QStringLiteral("Using cjpeg at %1 for broken.jpg")
                                            .arg(executablesFolder(bundleRoot) + QStringLiteral("/cjpeg"))}};
    QCOMPARE(log.lines(), expectedLines);
}

void tst_MozJPEGCompressionBackend::unwritableTemporaryFolder()
{
    // CI runs as root, so permissions cannot make a folder unwritable: a folder below a
    // regular file can never be created.
    writeFile(caseFolder() + QStringLiteral("/plain"), "a file, not a folder");
    const TemporaryFolderOverride override(caseFolder() + QStringLiteral("/plain/tmp"));
    const QString source = makeSource(caseFolder());
    const QString output = caseFolder() + QStringLiteral("/photo-1.jpg");
    const QString record = caseFolder() + QStringLiteral("/argv");
    const auto backend = backendWithScript(caseFolder() + QStringLiteral("/bundle"),
                                           recordingScript(record, caseFolder() + QStringLiteral("/seen")));
    const QStringList workingFolderBefore = entryNames(QDir::currentPath());

    const auto artifact = backend.compress(jpegProfile(source), QUrl::fromLocalFile(output));
    QVERIFY(!artifact);
    QVERIFY(artifact.error().is(CompressionPipelineError::Kind::backendExecutionFailed));
    const QString message = artifact.error().localizedDescription();
    const QString prefix = QStringLiteral("mozjpeg 输入预处理失败：");
    QVERIFY2(message.startsWith(prefix) && message.size() > prefix.size(), qPrintable(message));
    QVERIFY(!QFileInfo::exists(record));
    QCOMPARE(entryNames(QDir::currentPath()), workingFolderBefore);
}

QTEST_GUILESS_MAIN(tst_MozJPEGCompressionBackend)
#include "tst_mozjpegcompressionbackend.moc"
