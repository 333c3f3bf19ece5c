// PNGQuantCompressionBackend against fake pngquant scripts: the command line it builds, how
// each way a run can end becomes a result or an exact message, and what it leaves on disk.

#include "PNGQuantCompressionBackend.h"
#include "PNGTestSupport.h"
#include "TestImages.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

using namespace PNGTestSupport;

namespace {

const QString executionFailed = QStringLiteral("pngquant 执行失败：");
const QString launchFailed = QStringLiteral("pngquant 启动失败：");

// A temporary bundle with a fake pngquant and a PNG source beside which outputs are written.
struct Fixture {
    QTemporaryDir root;
    QString sourceFolder;
    QString sourcePath;
    QString toolPath;
    ApplicationBundle bundle{std::nullopt, std::nullopt};

    explicit Fixture(const QString &sourceName = QStringLiteral("shot.png"))
    {
        bundle = bundleAt(root.path());
        toolPath = executablesFolder(root.path()) + QStringLiteral("/pngquant");
        sourceFolder = root.filePath(QStringLiteral("pictures"));
        QDir().mkpath(sourceFolder);
        sourcePath = sourceFolder + u'/' + sourceName;
        TestImages::write(TestImages::photo(64, 48), sourcePath, "png");
    }

    PNGQuantCompressionBackend backend() const
    {
        return PNGQuantCompressionBackend(PNGQuantCommandLocator(bundle), QualityRange{60, 80});
    }
    ImageProfile profile() const { return pngProfile(sourcePath); }
    QUrl outputURL() const { return *backend().makeOutputURL(profile(), QUrl::fromLocalFile(sourceFolder)); }
};

} // namespace

class tst_PNGQuantCompressionBackend : public QObject
{
    Q_OBJECT

private slots:
    void passesExactlyNineArguments_data();
    void passesExactlyNineArguments();
    void succeedsOnExitZero_data();
    void succeedsOnExitZero();
    void failsWithMessage_data();
    void failsWithMessage();
    void failsToLaunchNonProgram();
    void missingToolIsUnavailable();
    void leavesPartialOutputToTheChain();
    void exitZeroWithoutOutputIsOutputStatFailed();
    void removesScratchOfKilledRun();
    void refusesWhenScratchNameIsTaken();
    void namesOutputPNGWhateverTheSource_data();
    void namesOutputPNGWhateverTheSource();
};

void tst_PNGQuantCompressionBackend::passesExactlyNineArguments_data()
{
    QTest::addColumn<QString>("sourceName");
    QTest::addColumn<bool>("outputExists");

    QTest::newRow("plain name") << QStringLiteral("shot.png") << false;
    QTest::newRow("name beginning with a hyphen") << QStringLiteral("-shot.png") << false;
    QTest::newRow("name that looks like an option") << QStringLiteral("--quality=1.png") << false;
    QTest::newRow("spaces, quotes and non-ASCII") << QStringLiteral("my \"shot\" 截图 $HOME.png") << false;
    QTest::newRow("file already at the output path") << QStringLiteral("shot.png") << true;
}

void tst_PNGQuantCompressionBackend::passesExactlyNineArguments()
{
    QFETCH(QString, sourceName);
    QFETCH(bool, outputExists);

    Fixture fixture(sourceName);
    QVERIFY(fixture.root.isValid());
    const QString argumentsFile = fixture.root.filePath(QStringLiteral("arguments"));
    writeScript(fixture.toolPath, "printf '%s\\0' \"$@\" > '" + argumentsFile.toUtf8() + "'\ncp -- \"$9\" \"$3\"");
    const QUrl outputURL = fixture.outputURL();
    if (outputExists)
        writeFile(outputURL.toLocalFile(), "an older file that --force lets pngquant replace");
    auto sources = TestImages::fingerprint(fixture.sourceFolder);
    sources.remove(outputURL.toLocalFile());

    const auto artifact = fixture.backend().compress(fixture.profile(), outputURL);

    QVERIFY2(artifact, qPrintable(artifact ? QString() : artifact.error().localizedDescription()));
    QByteArray recorded = readFile(argumentsFile);
    QVERIFY(recorded.endsWith('\0'));
    recorded.chop(1);
    QStringList arguments;
    for (const QByteArray &argument : recorded.split('\0'))
        arguments.append(QString::fromUtf8(argument));
    const QStringList expected{QStringLiteral("--force"),   QStringLiteral("--output"), outputURL.toLocalFile(),
                               QStringLiteral("--quality"), QStringLiteral("60-80"),    QStringLiteral("--speed"),
                               QStringLiteral("1"),         QStringLiteral("--"),       fixture.sourcePath};
    QCOMPARE(arguments, expected);
    QCOMPARE(readFile(outputURL.toLocalFile()), readFile(fixture.sourcePath));
    QCOMPARE(artifact->outputURL, outputURL);
    QCOMPARE(artifact->outputBytes, QFileInfo(fixture.sourcePath).size());
    auto after = TestImages::fingerprint(fixture.sourceFolder);
    after.remove(outputURL.toLocalFile());
    QCOMPARE(after, sources);
}

void tst_PNGQuantCompressionBackend::succeedsOnExitZero_data()
{
    QTest::addColumn<QByteArray>("script");

    QTest::newRow("quiet") << QByteArray("printf 'x%.0s' $(seq 1 1000) > \"$3\"");
    QTest::newRow("diagnostics on stderr are discarded")
        << QByteArray("printf '  warning: odd gamma\\n' >&2\nprintf 'x%.0s' $(seq 1 1000) > \"$3\"");
    QTest::newRow("more than 1 MiB on stderr")
        << QByteArray("head -c 3000000 /dev/zero | tr '\\0' w >&2\nprintf 'x%.0s' $(seq 1 1000) > \"$3\"");
}

void tst_PNGQuantCompressionBackend::succeedsOnExitZero()
{
    QFETCH(QByteArray, script);

    Fixture fixture;
    QVERIFY(fixture.root.isValid());
    writeScript(fixture.toolPath, script + "\nexit 0");
    const QUrl outputURL = fixture.outputURL();

    const auto artifact = fixture.backend().compress(fixture.profile(), outputURL);

    QVERIFY2(artifact, qPrintable(artifact ? QString() : artifact.error().localizedDescription()));
    QCOMPARE(artifact->outputURL, outputURL);
    QCOMPARE(artifact->outputBytes, 1000);
}

void tst_PNGQuantCompressionBackend::failsWithMessage_data()
{
    QTest::addColumn<QByteArray>("script");
    QTest::addColumn<QString>("message");

    const QString unknown = executionFailed + QStringLiteral("未知错误");
    QTest::newRow("non-zero, empty stderr") << QByteArray("exit 1") << unknown;
    QTest::newRow("non-zero, blanks and line breaks only")
        << QByteArray("printf '  \\n\\t \\r\\n\\n' >&2\nexit 2") << unknown;
    QTest::newRow("non-zero, leading blanks and trailing line break")
        << QByteArray("printf '   cannot  open: in.png\\n' >&2\nexit 2")
        << executionFailed + QStringLiteral("cannot  open: in.png");
    QTest::newRow("non-zero, several lines") << QByteArray("printf 'first line\\n  second line\\n\\n' >&2\nexit 3")
                                             << executionFailed + QStringLiteral("first line\n  second line");
    QTest::newRow("non-zero, UTF-8 text")
        << QByteArray("printf '无法读取\\n' >&2\nexit 3") << executionFailed + QStringLiteral("无法读取");
    QTest::newRow("non-zero, invalid UTF-8") << QByteArray("printf 'bad \\377\\376 bytes\\n' >&2\nexit 1") << unknown;
    QTest::newRow("non-zero, truncated UTF-8 sequence") << QByteArray("printf 'cut \\344\\270' >&2\nexit 1") << unknown;
    QTest::newRow("quality too low refusal") << QByteArray("exit 99") << unknown;
    QTest::newRow("non-zero after writing the output")
        << QByteArray("cp -- \"$9\" \"$3\"\nprintf 'late failure\\n' >&2\nexit 15")
        << executionFailed + QStringLiteral("late failure");
    QTest::newRow("killed by SIGKILL after writing the output")
        << QByteArray("cp -- \"$9\" \"$3\"\nprintf 'about to die\\n' >&2\nkill -KILL $$")
        << executionFailed + QStringLiteral("about to die");
    QTest::newRow("killed by SIGSEGV, nothing on stderr")
        << QByteArray("cp -- \"$9\" \"$3\"\nkill -SEGV $$") << unknown;
    QTest::newRow("more than 1 MiB on stderr")
        << QByteArray("head -c 1500000 /dev/zero | tr '\\0' e >&2\nexit 1") << executionFailed + QString(1500000, u'e');
}

void tst_PNGQuantCompressionBackend::failsWithMessage()
{
    QFETCH(QByteArray, script);
    QFETCH(QString, message);

    Fixture fixture;
    QVERIFY(fixture.root.isValid());
    writeScript(fixture.toolPath, script);
    const auto sources = TestImages::fingerprint(fixture.sourceFolder);
    const QUrl outputURL = fixture.outputURL();

    const auto artifact = fixture.backend().compress(fixture.profile(), outputURL);

    QVERIFY(!artifact);
    QVERIFY(artifact.error().is(CompressionPipelineError::Kind::backendExecutionFailed));
    const QString actual = artifact.error().localizedDescription();
    if (actual.size() > 200 || message.size() > 200) {
        QCOMPARE(actual.size(), message.size());
        QVERIFY(actual == message);
    } else {
        QCOMPARE(actual, message);
    }
    auto after = TestImages::fingerprint(fixture.sourceFolder);
    after.remove(outputURL.toLocalFile());
    QCOMPARE(after, sources);
}

void tst_PNGQuantCompressionBackend::failsToLaunchNonProgram()
{
    Fixture fixture;
    QVERIFY(fixture.root.isValid());
    writeFile(fixture.toolPath, QByteArray("\x01\x02\x03 this is no program\n", 24), true);

    const QUrl outputURL = fixture.outputURL();

    const auto artifact = fixture.backend().compress(fixture.profile(), outputURL);

    QVERIFY(!artifact);
    QVERIFY(artifact.error().is(CompressionPipelineError::Kind::backendExecutionFailed));
    const QString message = artifact.error().localizedDescription();
    QVERIFY2(message.startsWith(launchFailed), qPrintable(message));
    QVERIFY2(message.size() > launchFailed.size(), qPrintable(message));
    QVERIFY(!QFileInfo::exists(outputURL.toLocalFile()));
}

void tst_PNGQuantCompressionBackend::missingToolIsUnavailable()
{
    Fixture fixture;
    QVERIFY(fixture.root.isValid());
    writeFile(fixture.toolPath, "#!/bin/sh\nexit 0\n", false); // present but not executable
    LogCapture log;

    const auto artifact = fixture.backend().compress(fixture.profile(), fixture.outputURL());

    QVERIFY(!artifact);
    QVERIFY(artifact.error().is(CompressionPipelineError::Kind::backendUnavailable));
    QCOMPARE(artifact.error().localizedDescription(), QStringLiteral("未找到 pngquant，可继续回退到系统 PNG 压缩"));
    QVERIFY2(log.lines().isEmpty(), qPrintable(describe(log.lines())));
}

void tst_PNGQuantCompressionBackend::leavesPartialOutputToTheChain()
{
    Fixture fixture;
    QVERIFY(fixture.root.isValid());
    writeScript(fixture.toolPath, "printf 'partial' > \"$3\"\nexit 1");
    const QUrl outputURL = fixture.outputURL();

    const auto artifact = fixture.backend().compress(fixture.profile(), outputURL);

    QVERIFY(!artifact);
    QCOMPARE(readFile(outputURL.toLocalFile()), QByteArray("partial"));
}

void tst_PNGQuantCompressionBackend::exitZeroWithoutOutputIsOutputStatFailed()
{
    Fixture fixture;
    QVERIFY(fixture.root.isValid());
    writeScript(fixture.toolPath, "printf 'done\\n' >&2\nexit 0");

    const auto artifact = fixture.backend().compress(fixture.profile(), fixture.outputURL());

    QVERIFY(!artifact);
    QVERIFY(artifact.error().is(CompressionPipelineError::Kind::outputStatFailed));
    QCOMPARE(artifact.error().localizedDescription(), QStringLiteral("无法读取输出文件大小"));
}

void tst_PNGQuantCompressionBackend::removesScratchOfKilledRun()
{
    Fixture fixture;
    QVERIFY(fixture.root.isValid());
    // The way pngquant writes: a scratch file beside the output, renamed at the end.
    writeScript(fixture.toolPath, "printf 'half a picture' > \"$3.tmp\"\nkill -KILL $$");
    const QUrl outputURL = fixture.outputURL();

    const auto artifact = fixture.backend().compress(fixture.profile(), outputURL);

    QVERIFY(!artifact);
    QCOMPARE(fileNames(fixture.sourceFolder), QStringList{QStringLiteral("shot.png")});
}

void tst_PNGQuantCompressionBackend::refusesWhenScratchNameIsTaken()
{
    Fixture fixture;
    QVERIFY(fixture.root.isValid());
    const QString marker = fixture.root.filePath(QStringLiteral("ran"));
    writeScript(fixture.toolPath, "touch '" + marker.toUtf8() + "'\ncp -- \"$9\" \"$3.tmp\"\nmv \"$3.tmp\" \"$3\"");
    const QUrl outputURL = fixture.outputURL();
    const QString scratch = PNGQuantCompressionBackend::scratchPath(outputURL.toLocalFile());
    writeFile(scratch, "the user's own file");
    const auto before = TestImages::fingerprint(fixture.sourceFolder);

    const auto artifact = fixture.backend().compress(fixture.profile(), outputURL);

    QVERIFY(!artifact);
    QVERIFY(artifact.error().is(CompressionPipelineError::Kind::backendExecutionFailed));
    QCOMPARE(artifact.error().localizedDescription(), launchFailed + QStringLiteral("临时文件已存在：") + scratch);
    QVERIFY(!QFileInfo::exists(marker));
    QCOMPARE(TestImages::fingerprint(fixture.sourceFolder), before);
}

void tst_PNGQuantCompressionBackend::namesOutputPNGWhateverTheSource_data()
{
    QTest::addColumn<QStringList>("existing");
    QTest::addColumn<QString>("sourceName");
    QTest::addColumn<QString>("expected");

    QTest::newRow("own name taken by the source")
        << QStringList{} << QStringLiteral("shot.png") << QStringLiteral("shot-1.png");
    QTest::newRow("upper-case extension") << QStringList{} << QStringLiteral("shot.PNG") << QStringLiteral("shot.png");
    QTest::newRow("earlier outputs beside it")
        << QStringList{QStringLiteral("shot-1.png"), QStringLiteral("shot-2.png")} << QStringLiteral("shot.png")
        << QStringLiteral("shot-3.png");
    QTest::newRow("double extension") << QStringList{} << QStringLiteral("archive.tar.png")
                                      << QStringLiteral("archive.tar-1.png");
}

void tst_PNGQuantCompressionBackend::namesOutputPNGWhateverTheSource()
{
    QFETCH(QStringList, existing);
    QFETCH(QString, sourceName);
    QFETCH(QString, expected);

    Fixture fixture(sourceName);
    QVERIFY(fixture.root.isValid());
    for (const QString &name : existing)
        writeFile(fixture.sourceFolder + u'/' + name, "taken");

    const auto outputURL =
        fixture.backend().makeOutputURL(fixture.profile(), QUrl::fromLocalFile(fixture.sourceFolder));

    QVERIFY(outputURL);
    QCOMPARE(outputURL->toLocalFile(), fixture.sourceFolder + u'/' + expected);
    QVERIFY(!QFileInfo::exists(outputURL->toLocalFile()));
}

QTEST_GUILESS_MAIN(tst_PNGQuantCompressionBackend)
#include "tst_pngquantcompressionbackend.moc"
