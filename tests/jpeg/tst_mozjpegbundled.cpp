// The real mozjpeg cjpeg of the build tree's bundle: the backend matches a direct cjpeg run on
// the same picture, and pressel-cli takes the mozjpeg road, or falls back when the tool is gone.

#include "JPEGTestSupport.h"
#include "MozJPEGCompressionBackend.h"
#include "PPMPreprocessing.h"
#include "TestImages.h"

#include <QDir>
#include <QImageReader>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

using namespace JPEGTestSupport;

class tst_MozJPEGBundled : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void reportsMozJPEG();
    void backendMatchesCJPEGOnTheSamePicture_data();
    void backendMatchesCJPEGOnTheSamePicture();
    void cliWritesThroughMozJPEG();
    void cliFallsBackWhenCJPEGIsGone();

private:
    struct Run {
        int exitCode = -1;
        QString standardOutput;
        QString standardError;
    };
    // Runs pressel-cli (or a copy of it) with TMPDIR pointing at `temporary`.
    static Run runCLI(const QString &program, const QStringList &arguments, const QString &temporary);
    // The size of what the bundled cjpeg makes, with the backend's options, from the PPM that
    // writePPM makes of `source`.
    static qint64 referenceSize(const QString &source, const QString &scratch);

    QTemporaryDir m_root;
};

void tst_MozJPEGBundled::initTestCase()
{
    QVERIFY(m_root.isValid());
    if (buildDir().isEmpty())
        QSKIP("PRESSEL_BUILD_DIR is not set; run through CTest");
    if (!QFileInfo(bundledCJPEG()).isExecutable())
        QSKIP("the build tree has no bundled cjpeg (run scripts/build-mozjpeg.sh and rebuild)");
}

tst_MozJPEGBundled::Run tst_MozJPEGBundled::runCLI(const QString &program, const QStringList &arguments,
                                                   const QString &temporary)
{
    QProcess process;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("TMPDIR"), temporary);
    environment.remove(QStringLiteral("QT_LOGGING_RULES"));
    process.setProcessEnvironment(environment);
    process.start(program, arguments);
    Run run;
    if (!process.waitForFinished(-1) || process.exitStatus() != QProcess::NormalExit)
        return run;
    run.exitCode = process.exitCode();
    run.standardOutput = QString::fromUtf8(process.readAllStandardOutput());
    run.standardError = QString::fromUtf8(process.readAllStandardError());
    return run;
}

qint64 tst_MozJPEGBundled::referenceSize(const QString &source, const QString &scratch)
{
    QDir().mkpath(scratch);
    const QString ppm = scratch + QStringLiteral("/reference.ppm");
    const QString jpeg = scratch + QStringLiteral("/reference.jpg");
    if (!writePPM(QUrl::fromLocalFile(source), QUrl::fromLocalFile(ppm)))
        return -1;
    const int status = QProcess::execute(bundledCJPEG(),
                                         {QStringLiteral("-quality"), QStringLiteral("75"), QStringLiteral("-optimize"),
                                          QStringLiteral("-progressive"), QStringLiteral("-outfile"), jpeg, ppm});
    return status == 0 ? QFileInfo(jpeg).size() : -1;
}

void tst_MozJPEGBundled::reportsMozJPEG()
{
    QProcess process;
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(bundledCJPEG(), {QStringLiteral("-version")});
    QVERIFY(process.waitForFinished(-1));
    QCOMPARE(process.exitStatus(), QProcess::NormalExit);
    const QByteArray banner = process.readAll();
    QVERIFY2(banner.contains("mozjpeg"), banner.constData());
}

void tst_MozJPEGBundled::backendMatchesCJPEGOnTheSamePicture_data()
{
    QTest::addColumn<int>("orientation");
    QTest::newRow("upright") << 1;
    QTest::newRow("tagged as turned 90 clockwise") << 6;
}

void tst_MozJPEGBundled::backendMatchesCJPEGOnTheSamePicture()
{
    QFETCH(int, orientation);

    const QString folder = m_root.filePath(QStringLiteral("match-%1").arg(orientation));
    const QString temporary = folder + QStringLiteral("/tmp");
    QVERIFY(QDir().mkpath(temporary));
    const QImage picture = TestImages::photo(640, 400, 11);
    const QString source = folder + QStringLiteral("/photo.jpg");
    writeFile(source, jpegWithOrientation(picture, orientation, 95));
    const qint64 expected = referenceSize(source, folder + QStringLiteral("/reference"));
    QVERIFY(expected > 0);

    const QString output = folder + QStringLiteral("/photo-1.jpg");
    const MozJPEGCompressionBackend backend(
        MozJPEGCommandLocator(ApplicationBundle::forBinFolder(buildDir() + QStringLiteral("/bin"))), 0.75);
    std::optional<Expected<CompressionArtifact>> artifact;
    {
        const TemporaryFolderOverride override(temporary);
        artifact = backend.compress(jpegProfile(source), QUrl::fromLocalFile(output));
    }
    QVERIFY2(*artifact, qPrintable(*artifact ? QString() : (*artifact).error().localizedDescription()));
    QCOMPARE((*artifact)->outputBytes, QFileInfo(output).size());
    QVERIFY2(std::abs((*artifact)->outputBytes - expected) <= expected / 100,
             qPrintable(QStringLiteral("%1 vs %2 bytes").arg((*artifact)->outputBytes).arg(expected)));
    QCOMPARE(entryNames(temporary), QStringList());

    QImageReader reader(output);
    reader.setAutoTransform(false);
    const QImage written = reader.read();
    const QSize upright = orientation == 6 ? picture.size().transposed() : picture.size();
    QCOMPARE(written.size(), upright);
    const QImage expectedPixels = orientation == 6 ? picture.transformed(QTransform().rotate(90)) : picture;
    QVERIFY(TestImages::meanColourError(written, expectedPixels) < 6.0);
}

void tst_MozJPEGBundled::cliWritesThroughMozJPEG()
{
    const QString folder = m_root.filePath(QStringLiteral("cli"));
    const QString temporary = folder + QStringLiteral("/tmp");
    QVERIFY(QDir().mkpath(temporary));
    const QString source = folder + QStringLiteral("/photo.jpg");
    TestImages::write(TestImages::photo(800, 600, 5), source, "jpeg", 95);
    const QByteArray sourceHash = TestImages::sha256(source);
    const QString output = folder + QStringLiteral("/photo-1.jpg");

    const Run run = runCLI(presselCLI(), {source}, temporary);
    QVERIFY2(run.exitCode == 0, qPrintable(run.standardError));
    QVERIFY2(run.standardError.contains(QStringLiteral("Using cjpeg at %1 for photo.jpg").arg(bundledCJPEG())),
             qPrintable(run.standardError));
    QVERIFY2(
        run.standardError.contains(QStringLiteral("JPEG backend: mozjpeg, input: %1, output: %2").arg(source, output)),
        qPrintable(run.standardError));
    QVERIFY(!run.standardError.contains(QStringLiteral("fallback")));
    QVERIFY2(run.standardOutput.startsWith(QStringLiteral("success\t%1\t").arg(source)),
             qPrintable(run.standardOutput));
    QVERIFY(run.standardOutput.trimmed().endsWith(output));
    QCOMPARE(TestImages::sha256(source), sourceHash);
    QCOMPARE(entryNames(temporary), QStringList());

    const qint64 expected = referenceSize(source, m_root.filePath(QStringLiteral("cli-reference")));
    QVERIFY(expected > 0);
    const qint64 actual = QFileInfo(output).size();
    QVERIFY2(std::abs(actual - expected) <= expected / 100,
             qPrintable(QStringLiteral("%1 vs %2 bytes").arg(actual).arg(expected)));
}

void tst_MozJPEGBundled::cliFallsBackWhenCJPEGIsGone()
{
    // A copy of the application beside an empty auxiliary-executables folder.
    const QString prefix = m_root.filePath(QStringLiteral("copied bundle"));
    QVERIFY(QDir().mkpath(prefix + QStringLiteral("/bin")));
    QVERIFY(QDir().mkpath(prefix + QStringLiteral("/libexec/pressel")));
    const QString cli = prefix + QStringLiteral("/bin/pressel-cli");
    QVERIFY(QFile::copy(presselCLI(), cli));

    const QString folder = m_root.filePath(QStringLiteral("fallback"));
    const QString temporary = folder + QStringLiteral("/tmp");
    QVERIFY(QDir().mkpath(temporary));
    const QString source = folder + QStringLiteral("/photo.jpg");
    TestImages::write(TestImages::photo(800, 600, 5), source, "jpeg", 95);
    const QString output = folder + QStringLiteral("/photo-1.jpg");

    const Run run = runCLI(cli, {source}, temporary);
    QVERIFY2(run.exitCode == 0, qPrintable(run.standardError));
    const QString fallback = QStringLiteral("JPEG backend fallback to ImageIO, input: %1, reason: "
                                            "未找到 mozjpeg 的 cjpeg，可继续回退到系统 JPEG 压缩")
                                 .arg(source);
    const QString imageIO = QStringLiteral("JPEG backend: ImageIO, input: %1, output: %2").arg(source, output);
    const qsizetype fallbackAt = run.standardError.indexOf(fallback);
    const qsizetype imageIOAt = run.standardError.indexOf(imageIO);
    QVERIFY2(fallbackAt >= 0 && imageIOAt > fallbackAt, qPrintable(run.standardError));
    QVERIFY(!run.standardError.contains(QStringLiteral("Using cjpeg")));
    QVERIFY2(run.standardOutput.startsWith(QStringLiteral("success\t%1\t").arg(source)),
             qPrintable(run.standardOutput));
    QVERIFY(QImage(output).size() == QSize(800, 600));
    QCOMPARE(entryNames(temporary), QStringList());
}

QTEST_GUILESS_MAIN(tst_MozJPEGBundled)
#include "tst_mozjpegbundled.moc"
