// The real mozjpeg cjpeg of the build tree's bundle: it is mozjpeg, and the backend's output
// matches a direct cjpeg run on the same pixels, upright when the source is stored sideways.
// pressel-cli on the mozjpeg road is tested with the command line (tests/cli).

#include "MozJPEGCompressionBackend.h"
#include "PPMPreprocessing.h"
#include "TestFiles.h"
#include "TestImages.h"

#include <QDir>
#include <QImageReader>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;
using namespace TestFiles;

class tst_MozJPEGBundled : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        QVERIFY2(QFileInfo(cjpeg()).isExecutable(), qPrintable(cjpeg()));
        const ProcessRun version = run(cjpeg(), {u"-version"_s});
        QVERIFY2(version.standardError.contains("mozjpeg") || version.standardOutput.contains("mozjpeg"),
                 qPrintable(version.describe()));
    }

    void matchesCJPEGOnTheSamePixels_data()
    {
        QTest::addColumn<int>("orientation");
        QTest::newRow("upright") << 1;
        QTest::newRow("stored turned, tagged 6") << 6;
    }

    void matchesCJPEGOnTheSamePixels()
    {
        QFETCH(int, orientation);

        const QString folder = m_root.filePath(u"orientation-%1"_s.arg(orientation));
        const QString temporary = folder + u"/tmp"_s;
        QVERIFY(QDir().mkpath(temporary));
        const QImage picture = TestImages::photo(640, 400, 11);
        const QString source = folder + u"/photo.jpg"_s;
        QVERIFY(writeFile(source, TestImages::orientedJPEG(picture, orientation)));
        // The reference: cjpeg with the backend's options on the PPM of the same decoded pixels.
        const QString ppm = folder + u"/reference.ppm"_s;
        const QString reference = folder + u"/reference.jpg"_s;
        QVERIFY(writePPM(QUrl::fromLocalFile(source), QUrl::fromLocalFile(ppm)));
        QCOMPARE(run(cjpeg(), MozJPEGCompressionBackend::arguments(0.75, reference, ppm)).exitCode, 0);
        const qint64 expected = QFileInfo(reference).size();

        const QString output = folder + u"/photo-1.jpg"_s;
        const MozJPEGCompressionBackend backend(MozJPEGCommandLocator(buildBundle()), 0.75);
        std::optional<Expected<CompressionArtifact>> artifact;
        {
            const TemporaryFolderOverride override(temporary);
            artifact = backend.compress(profileFor(source, ImageFormat::jpeg(u"jpg"_s)), QUrl::fromLocalFile(output));
        }
        QVERIFY2(*artifact, qPrintable(*artifact ? QString() : artifact->error().localizedDescription()));
        QCOMPARE((*artifact)->outputBytes, QFileInfo(output).size());
        QVERIFY2(std::abs((*artifact)->outputBytes - expected) <= expected / 100,
                 qPrintable(u"%1 vs %2 bytes"_s.arg((*artifact)->outputBytes).arg(expected)));
        QCOMPARE(entryNames(temporary), QStringList());

        QImageReader reader(output);
        reader.setAutoTransform(false); // the pixels themselves are upright, no tag turns them
        const QImage written = reader.read();
        const QImage upright = orientation == 6 ? picture.transformed(QTransform().rotate(90)) : picture;
        QCOMPARE(written.size(), upright.size());
        QVERIFY(TestImages::meanColourError(written, upright) < 6.0);
    }

private:
    QString cjpeg() const { return buildPath(u"libexec/pressel/cjpeg"_s); }
    QTemporaryDir m_root;
};

QTEST_GUILESS_MAIN(tst_MozJPEGBundled)
#include "tst_mozjpegbundled.moc"
