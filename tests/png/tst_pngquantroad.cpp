// The PNG road with the pngquant that the build places in the bundle: pressel-cli end to end,
// the fallback when pngquant refuses a picture or is taken out of the bundle, and the real
// tool's handling of awkward names and an occupied output path.

#include "PNGCompressionBackend.h"
#include "PNGTestSupport.h"
#include "TestImages.h"

#include <QDir>
#include <QFile>
#include <QImageReader>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

using namespace PNGTestSupport;

namespace {

struct CLIRun {
    int exitCode = -1;
    QJsonArray rows;
    QStringList logLines;
};

// Runs a pressel-cli on the files and returns its rows and log lines. The time limit only
// keeps a broken build from hanging the suite.
CLIRun runCLI(const QString &program, const QStringList &files)
{
    QProcess process;
    process.setProgram(program);
    process.setArguments(QStringList{QStringLiteral("--json"), QStringLiteral("--")} + files);
    process.start();
    CLIRun run;
    if (!process.waitForFinished(10 * 60 * 1000) || process.exitStatus() != QProcess::NormalExit)
        return run;
    run.exitCode = process.exitCode();
    run.rows = QJsonDocument::fromJson(process.readAllStandardOutput()).array();
    for (const QString &line : QString::fromUtf8(process.readAllStandardError()).split(u'\n', Qt::SkipEmptyParts))
        run.logLines.append(line);
    return run;
}

// Runs the bundle's pngquant itself with the nine arguments.
int runPNGQuantAlone(const QString &sourcePath, const QString &outputPath)
{
    return QProcess::execute(bundledPNGQuant(),
                             PNGQuantCompressionBackend::arguments(outputPath, QualityRange{60, 80}, sourcePath));
}

QString pngCompressionLine(const QString &message)
{
    return QStringLiteral("com.korvane.Pressel.PNGCompression: ") + message;
}

QString errorLine(const QString &message)
{
    return QStringLiteral("[error] com.korvane.Pressel.PNGCompression: ") + message;
}

// Only the lines of the PNG components, in order.
QStringList pngLines(const QStringList &lines)
{
    QStringList kept;
    for (const QString &line : lines) {
        if (line.contains(QStringLiteral("com.korvane.Pressel.PNG")))
            kept.append(line);
    }
    return kept;
}

} // namespace

class tst_PNGQuantRoad : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cliWritesScreenshotThroughPNGQuant();
    void cliFallsBackWhenQualityCannotBeMet();
    void cliFallsBackWithoutPNGQuantInBundle();
    void realToolWritesOutput_data();
    void realToolWritesOutput();
};

void tst_PNGQuantRoad::initTestCase()
{
    QVERIFY2(!buildDir().isEmpty(), "PRESSEL_BUILD_DIR is not set");
    QVERIFY2(QFileInfo(bundledPNGQuant()).isExecutable(), qPrintable(bundledPNGQuant()));
    QVERIFY2(QFileInfo(presselCLI()).isExecutable(), qPrintable(presselCLI()));
}

void tst_PNGQuantRoad::cliWritesScreenshotThroughPNGQuant()
{
    QTemporaryDir root;
    QVERIFY(root.isValid());
    const QString folder = root.filePath(QStringLiteral("shots"));
    QDir().mkpath(folder);
    const QString sourcePath = folder + QStringLiteral("/shot.png");
    TestImages::write(screenshot(800, 500), sourcePath, "png");
    const auto sources = TestImages::fingerprint(folder);

    const CLIRun run = runCLI(presselCLI(), {sourcePath});

    QCOMPARE(run.exitCode, 0);
    QCOMPARE(run.rows.size(), 1);
    const QJsonObject row = run.rows.first().toObject();
    const QString outputPath = folder + QStringLiteral("/shot-1.png");
    QCOMPARE(row.value(QStringLiteral("status")).toString(), QStringLiteral("success"));
    QCOMPARE(row.value(QStringLiteral("output")).toString(), outputPath);
    const QString tool = QFileInfo(bundledPNGQuant()).canonicalFilePath();
    const QStringList expectedLog{QStringLiteral("com.korvane.Pressel.PNGQuant: Using pngquant at ") + tool +
                                      QStringLiteral(" for shot.png"),
                                  pngCompressionLine(QStringLiteral("PNG backend: pngquant, input: ") + sourcePath +
                                                     QStringLiteral(", output: ") + outputPath)};
    QCOMPARE(pngLines(run.logLines), expectedLog);

    const QString referencePath = root.filePath(QStringLiteral("reference.png"));
    QCOMPARE(runPNGQuantAlone(sourcePath, referencePath), 0);
    const QByteArray written = readFile(outputPath);
    QVERIFY(!written.isEmpty());
    QVERIFY(written == readFile(referencePath));
    QCOMPARE(row.value(QStringLiteral("compressedBytes")).toInteger(), written.size());
    QCOMPARE(QImageReader(outputPath).read().format(), QImage::Format_Indexed8);
    QCOMPARE(fileNames(folder), (QStringList{QStringLiteral("shot-1.png"), QStringLiteral("shot.png")}));
    auto after = TestImages::fingerprint(folder);
    after.remove(outputPath);
    QCOMPARE(after, sources);
}

void tst_PNGQuantRoad::cliFallsBackWhenQualityCannotBeMet()
{
    QTemporaryDir root;
    QVERIFY(root.isValid());
    const QString sourcePath = root.filePath(QStringLiteral("gradient.png"));
    TestImages::write(grainyGradient(256, 192), sourcePath, "png");
    const QString referencePath = root.filePath(QStringLiteral("reference/gradient.png"));
    QDir().mkpath(QFileInfo(referencePath).path());
    // The premise: pngquant alone refuses this picture.
    QVERIFY(runPNGQuantAlone(sourcePath, referencePath) != 0);
    QVERIFY(QDir(QFileInfo(referencePath).path()).isEmpty());
    QVERIFY(QDir().rmpath(QFileInfo(referencePath).path()));
    const auto sources = TestImages::fingerprint(root.path());

    const CLIRun run = runCLI(presselCLI(), {sourcePath});

    QCOMPARE(run.exitCode, 0);
    QCOMPARE(run.rows.size(), 1);
    const QJsonObject row = run.rows.first().toObject();
    const QString status = row.value(QStringLiteral("status")).toString();
    const QString outputPath = root.filePath(QStringLiteral("gradient-1.png"));
    const QStringList lines = pngLines(run.logLines);
    QCOMPARE(lines.size(), 3);
    QCOMPARE(lines.at(1), errorLine(QStringLiteral("PNG backend fallback to ImageIO, input: ") + sourcePath +
                                    QStringLiteral(", reason: pngquant 执行失败：未知错误")));
    QCOMPARE(lines.at(2), pngCompressionLine(QStringLiteral("PNG backend: ImageIO, input: ") + sourcePath +
                                             QStringLiteral(", output: ") + outputPath));
    if (status == u"success") {
        QCOMPARE(fileNames(root.path()),
                 (QStringList{QStringLiteral("gradient-1.png"), QStringLiteral("gradient.png")}));
        QCOMPARE(QImage(outputPath).convertToFormat(QImage::Format_RGB32), grainyGradient(256, 192));
    } else {
        QCOMPARE(status, QStringLiteral("skipped"));
        QCOMPARE(row.value(QStringLiteral("message")).toString(), QStringLiteral("压缩后体积未变小，已保留原图"));
        QCOMPARE(fileNames(root.path()), QStringList{QStringLiteral("gradient.png")});
    }
    auto after = TestImages::fingerprint(root.path());
    after.remove(outputPath);
    QCOMPARE(after, sources);
}

void tst_PNGQuantRoad::cliFallsBackWithoutPNGQuantInBundle()
{
    QTemporaryDir root;
    QVERIFY(root.isValid());
    // A bundle of its own: the same program, an empty executables folder.
    const QString bin = root.filePath(QStringLiteral("bundle/bin"));
    QVERIFY(QDir().mkpath(bin));
    QVERIFY(QDir().mkpath(root.filePath(QStringLiteral("bundle/libexec/pressel"))));
    const QString program = bin + QStringLiteral("/pressel-cli");
    QVERIFY(QFile::copy(presselCLI(), program));
    const QString folder = root.filePath(QStringLiteral("shots"));
    QDir().mkpath(folder);
    const QString sourcePath = folder + QStringLiteral("/shot.png");
    TestImages::write(screenshot(640, 400), sourcePath, "png");
    const auto sources = TestImages::fingerprint(folder);

    const CLIRun run = runCLI(program, {sourcePath});

    QCOMPARE(run.exitCode, 0);
    QCOMPARE(run.rows.size(), 1);
    const QJsonObject row = run.rows.first().toObject();
    const QString outputPath = folder + QStringLiteral("/shot-1.png");
    const QStringList expectedLog{errorLine(QStringLiteral("PNG backend fallback to ImageIO, input: ") + sourcePath +
                                            QStringLiteral(", reason: 未找到 pngquant，可继续回退到系统 PNG 压缩")),
                                  pngCompressionLine(QStringLiteral("PNG backend: ImageIO, input: ") + sourcePath +
                                                     QStringLiteral(", output: ") + outputPath)};
    QCOMPARE(pngLines(run.logLines), expectedLog);
    const QString status = row.value(QStringLiteral("status")).toString();
    QVERIFY2(status == u"success" || status == u"skipped", qPrintable(status));
    if (status == u"success") {
        QCOMPARE(QImage(outputPath).convertToFormat(QImage::Format_RGB32), screenshot(640, 400));
        QCOMPARE(fileNames(folder), (QStringList{QStringLiteral("shot-1.png"), QStringLiteral("shot.png")}));
    } else {
        QCOMPARE(fileNames(folder), QStringList{QStringLiteral("shot.png")});
    }
    auto after = TestImages::fingerprint(folder);
    after.remove(outputPath);
    QCOMPARE(after, sources);
}

void tst_PNGQuantRoad::realToolWritesOutput_data()
{
    QTest::addColumn<QString>("sourceName");
    QTest::addColumn<bool>("outputOccupied");
    QTest::addColumn<bool>("scratchOccupied");

    QTest::newRow("name beginning with a hyphen") << QStringLiteral("-shot.png") << false << false;
    QTest::newRow("name that reads as an option") << QStringLiteral("--help.png") << false << false;
    QTest::newRow("spaces and non-ASCII") << QStringLiteral("屏幕 截图 (1).png") << false << false;
    QTest::newRow("file already at the output path") << QStringLiteral("shot.png") << true << false;
    QTest::newRow("file already at pngquant's scratch path") << QStringLiteral("shot.png") << false << true;
}

void tst_PNGQuantRoad::realToolWritesOutput()
{
    QFETCH(QString, sourceName);
    QFETCH(bool, outputOccupied);
    QFETCH(bool, scratchOccupied);

    QTemporaryDir root;
    QVERIFY(root.isValid());
    const QString folder = root.filePath(QStringLiteral("shots"));
    QDir().mkpath(folder);
    const QString sourcePath = folder + u'/' + sourceName;
    TestImages::write(screenshot(400, 300), sourcePath, "png");
    const ApplicationBundle bundle = ApplicationBundle::forBinFolder(buildDir() + QStringLiteral("/bin"));
    const PNGQuantCompressionBackend pngQuant(PNGQuantCommandLocator(bundle), QualityRange{60, 80});
    const ImageProfile profile = pngProfile(sourcePath);
    const QUrl outputURL = *pngQuant.makeOutputURL(profile, QUrl::fromLocalFile(folder));
    const QString outputPath = outputURL.toLocalFile();
    const QString scratchPath = PNGQuantCompressionBackend::scratchPath(outputPath);
    // Placed after the name was chosen, as a file that appears in the meantime would be.
    if (outputOccupied)
        writeFile(outputPath, "an older file in the way");
    if (scratchOccupied)
        writeFile(scratchPath, "the user's own notes");
    auto sources = TestImages::fingerprint(folder);
    sources.remove(outputPath);
    const QString referencePath = root.filePath(QStringLiteral("reference.png"));
    QCOMPARE(runPNGQuantAlone(sourcePath, referencePath), 0);

    const auto artifact = PNGCompressionBackend(pngQuant).compress(profile, outputURL);

    QVERIFY2(artifact, qPrintable(artifact ? QString() : artifact.error().localizedDescription()));
    QCOMPARE(artifact->outputURL, outputURL);
    QCOMPARE(artifact->outputBytes, QFileInfo(outputPath).size());
    if (scratchOccupied) {
        // pngquant would have truncated the user's file; the in-process encoder wrote instead.
        QCOMPARE(readFile(scratchPath), QByteArray("the user's own notes"));
        QCOMPARE(QImage(outputPath).convertToFormat(QImage::Format_RGB32), screenshot(400, 300));
    } else {
        QVERIFY(readFile(outputPath) == readFile(referencePath));
        QVERIFY(!QFileInfo::exists(scratchPath));
    }
    auto after = TestImages::fingerprint(folder);
    after.remove(outputPath);
    QCOMPARE(after, sources);
}

QTEST_MAIN(tst_PNGQuantRoad)
#include "tst_pngquantroad.moc"
