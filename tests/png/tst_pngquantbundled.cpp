// The real pngquant of the build tree's bundle behind the PNG chain: awkward names reach it
// as plain files, it replaces a file that appeared at the output path, and a file of the user's
// at its scratch path keeps it from running at all. pressel-cli on the pngquant road, and a
// picture pngquant refuses, are tested with the command line (tests/cli).

#include "PNGCompressionBackend.h"
#include "TestFiles.h"
#include "TestImages.h"

#include <QDir>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;
using namespace TestFiles;

class tst_PNGQuantBundled : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        QVERIFY2(QFileInfo(buildPath(u"libexec/pressel/pngquant"_s)).isExecutable(), "the bundle has no pngquant");
    }

    void awkwardPlaces_data()
    {
        QTest::addColumn<QString>("sourceName");
        QTest::addColumn<bool>("outputOccupied");
        QTest::addColumn<bool>("scratchOccupied");

        QTest::newRow("name beginning with a hyphen") << "-shot.png" << false << false;
        QTest::newRow("name that reads as an option") << "--help.png" << false << false;
        QTest::newRow("spaces and Chinese") << "屏幕 截图 (1).png" << false << false;
        QTest::newRow("file already at the output path") << "shot.png" << true << false;
        QTest::newRow("file already at pngquant's scratch path") << "shot.png" << false << true;
    }

    void awkwardPlaces()
    {
        QFETCH(QString, sourceName);
        QFETCH(bool, outputOccupied);
        QFETCH(bool, scratchOccupied);

        QTemporaryDir root;
        const QString folder = root.filePath(u"shots"_s);
        QVERIFY(QDir().mkpath(folder));
        const QString sourcePath = folder + u'/' + sourceName;
        TestImages::write(TestImages::screenshot(400, 300), sourcePath, "png");
        const PNGQuantCompressionBackend pngQuant(PNGQuantCommandLocator(buildBundle()), QualityRange{60, 80});
        const ImageProfile profile = profileFor(sourcePath, ImageFormat::png());
        const QString output = pngQuant.makeOutputURL(profile, QUrl::fromLocalFile(folder))->toLocalFile();
        const QString scratch = PNGQuantCompressionBackend::scratchPath(output);
        // Placed after the name was chosen, as a file that appears in the meantime would be.
        if (outputOccupied)
            QVERIFY(writeFile(output, "an older file in the way"));
        if (scratchOccupied)
            QVERIFY(writeFile(scratch, "the user's own notes"));
        auto sources = TestImages::fingerprint(folder);
        sources.remove(output);
        const QString reference = root.filePath(u"reference.png"_s);
        QCOMPARE(run(buildPath(u"libexec/pressel/pngquant"_s),
                     PNGQuantCompressionBackend::arguments(reference, QualityRange{60, 80}, sourcePath))
                     .exitCode,
                 0);

        const auto artifact = PNGCompressionBackend(pngQuant).compress(profile, QUrl::fromLocalFile(output));
        QVERIFY2(artifact, qPrintable(artifact ? QString() : artifact.error().localizedDescription()));
        QCOMPARE(artifact->outputBytes, QFileInfo(output).size());
        if (scratchOccupied) // pngquant would have truncated it; the in-process encoder wrote instead
            QCOMPARE(QImage(output).convertToFormat(QImage::Format_RGB32), TestImages::screenshot(400, 300));
        else
            QVERIFY(readFile(output) == readFile(reference));
        auto after = TestImages::fingerprint(folder);
        after.remove(output);
        QCOMPARE(after, sources);
    }
};

QTEST_MAIN(tst_PNGQuantBundled)
#include "tst_pngquantbundled.moc"
