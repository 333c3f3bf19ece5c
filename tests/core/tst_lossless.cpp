// SPDX-License-Identifier: GPL-3.0-or-later
// The lossless building blocks with the real tools: the bundle's mozjpeg jpegtran run with
// jpegtranArguments() and its output pruned gives the source's very pixels for every kind of
// JPEG, and a picture stored turned is viewed upright without a tag once stripped; optimizePNG
// gives the source's pixels, alpha and 16 bits included, in the smallest layout that holds them.

#include "JPEGFrame.h"
#include "JPEGMarkerPruning.h"
#include "JPEGTranArguments.h"
#include "PNGOptimizer.h"
#include "TestFiles.h"
#include "TestImages.h"

#include <QBuffer>
#include <QColorSpace>
#include <QImageReader>
#include <QProcess>
#include <QTest>

using namespace pressel;
using namespace Qt::StringLiterals;
using namespace TestImages;

Q_DECLARE_METATYPE(MetadataPolicy)

namespace {

// The pixels as stored, as libjpeg-turbo (djpeg's library) or libpng decode them, untransformed.
QImage stored(const QByteArray &bytes)
{
    QBuffer buffer;
    buffer.setData(bytes);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer);
    reader.setAutoTransform(false);
    return reader.read();
}

QByteArray jpegtran(const QByteArray &source, const QStringList &arguments)
{
    const auto tool = TestFiles::buildBundle().bundledTool(u"jpegtran"_s);
    if (!tool)
        return {};
    QProcess process;
    process.start(tool->toLocalFile(), arguments);
    process.write(source);
    process.closeWriteChannel();
    if (!process.waitForFinished(60000) || process.exitCode() != 0)
        qWarning() << process.readAllStandardError();
    return process.exitCode() == 0 ? process.readAllStandardOutput() : QByteArray();
}

QByteArray withChunksAfterHeader(const QByteArray &png, const QByteArray &chunks)
{
    return png.left(33) + chunks + png.mid(33); // signature and IHDR are 33 bytes
}

} // namespace

class tst_Lossless : public QObject
{
    Q_OBJECT

private slots:
    void jpegKeepsItsPixels_data()
    {
        QTest::addColumn<QByteArray>("source");
        QTest::addColumn<MetadataPolicy>("policy");
        QTest::addColumn<int>("remainingOrientation"); // 0: the pixels were turned upright

        const QImage picture = scene(64, 48);
        const auto row = [&](const char *name, const JPEGOptions &options) -> QTestData & {
            return QTest::newRow(name) << jpeg(picture, options);
        };
        row("baseline 4:2:0", {}) << MetadataPolicy::strip << 1;
        row("progressive", {.progressive = true}) << MetadataPolicy::strip << 1;
        row("arithmetic", {.arithmetic = true}) << MetadataPolicy::strip << 1;
        row("grey", {.colour = JPEGOptions::grey}) << MetadataPolicy::strip << 1;
        row("CMYK", {.colour = JPEGOptions::cmyk}) << MetadataPolicy::strip << 1;
        row("YCCK", {.colour = JPEGOptions::ycck}) << MetadataPolicy::strip << 1;
        row("restart markers", {.restartRows = 1}) << MetadataPolicy::strip << 1;
        row("4:4:4", {.fullChroma = true}) << MetadataPolicy::strip << 1;
        row("colour profile", {.iccProfile = QColorSpace(QColorSpace::DisplayP3).iccProfile()})
            << MetadataPolicy::strip << 1;
        // Stored so that EXIF's orientation shows it upright; 64 x 48 is whole 16 x 16 blocks.
        for (int orientation = 1; orientation <= 8; ++orientation) {
            const QByteArray source = orientedJPEG(jpeg(storedForOrientation(picture, orientation)), orientation);
            QTest::addRow("stripped, orientation %d, turned upright", orientation)
                << source << MetadataPolicy::strip << (orientation == 1 ? 1 : 0);
            if (orientation == 6) {
                QTest::addRow("camera, orientation 6, kept as stored") << source << MetadataPolicy::camera << 6;
            }
        }
        // 60 rows are not whole blocks: the turn would leave the last ones behind.
        QTest::newRow("stripped, orientation 6, partial blocks: tag kept alone")
            << orientedJPEG(jpeg(storedForOrientation(scene(60, 44), 6)), 6) << MetadataPolicy::strip << 6;
    }

    void jpegKeepsItsPixels()
    {
        QFETCH(QByteArray, source);
        QFETCH(MetadataPolicy, policy);
        QFETCH(int, remainingOrientation);

        const auto frame = JPEGFrame::read(source);
        QVERIFY(frame);
        const JPEGTranArguments plan = jpegtranArguments(policy, *frame);
        QCOMPARE(plan.remainingOrientation, remainingOrientation ? remainingOrientation : 1);
        const auto output = pruneJPEGMarkers(jpegtran(source, plan.arguments), policy, plan.remainingOrientation);
        QVERIFY(output && !output->isEmpty());
        const auto written = JPEGFrame::read(*output);
        QVERIFY(written);
        QCOMPARE(written->orientation, plan.remainingOrientation);
        if (remainingOrientation) {
            QCOMPARE(stored(*output), stored(source));
        } else {
            // Turned blocks decode to the turned pixels but for the integer transform's rounding.
            QVERIFY(meanColourError(viewed(*output), viewed(source)) < 0.5);
            QVERIFY(!output->contains("Exif"));
        }
        QCOMPARE(output->contains("ICC_PROFILE"), source.contains("ICC_PROFILE"));
    }

    void pngKeepsItsPixels_data()
    {
        QTest::addColumn<QByteArray>("source");
        QTest::addColumn<bool>("keepText");
        QTest::addColumn<int>("colourType"); // the layout the pixels allow
        QTest::addColumn<int>("depth");

        const QImage picture = scene(64, 48);
        const QImage transparent = scene(64, 48, true);
        const auto made = [](const QImage &image, const QStringList &options, const QString &format = u"png"_s) {
            return convert({image}, options, format).value_or(QByteArray());
        };
        QTest::newRow("palette") << made(photo(200, 150), {u"-colors"_s, u"100"_s}, u"png8"_s) << false << 3 << 8;
        QTest::newRow("RGB") << made(photo(64, 48), {}) << false << 2 << 8;
        QTest::newRow("RGB of three colours")
            << made(photo(200, 150), {u"-colors"_s, u"3"_s, u"-define"_s, u"png:color-type=2"_s}) << false << 3 << 2;
        QTest::newRow("RGBA") << made(transparent, {}) << false << 6 << 8;
        QTest::newRow("opaque RGBA") << made(photo(64, 48), {u"-alpha"_s, u"on"_s}) << false << 2 << 8;
        QTest::newRow("grey") << made(photo(64, 48), {u"-colorspace"_s, u"Gray"_s}) << false << 0 << 8;
        QTest::newRow("grey of black and white")
            << made(photo(64, 48), {u"-colorspace"_s, u"Gray"_s, u"-threshold"_s, u"50%"_s, u"-define"_s,
                                    u"png:color-type=0"_s, u"-define"_s, u"png:bit-depth=8"_s})
            << false << 0 << 1;
        QTest::newRow("grey and alpha") << made(transparent, {u"-colorspace"_s, u"Gray"_s}) << false << 4 << 8;
        QTest::newRow("16-bit RGBA") << made(transparent, {u"-depth"_s, u"16"_s, u"-evaluate"_s, u"add"_s, u"7"_s})
                                     << false << 6 << 16;
        QTest::newRow("16-bit grey") << made(photo(64, 48), {u"-colorspace"_s, u"Gray"_s, u"-depth"_s, u"16"_s,
                                                             u"-evaluate"_s, u"add"_s, u"7"_s})
                                     << false << 0 << 16;
        QTest::newRow("16 bits that hold 8") << made(photo(64, 48), {u"-depth"_s, u"16"_s}) << false << 2 << 8;
        QTest::newRow("interlaced") << made(transparent, {u"-interlace"_s, u"PNG"_s}) << false << 6 << 8;

        const QByteArray profile = QColorSpace(QColorSpace::DisplayP3).iccProfile();
        const QByteArray chunks = pngChunk("iCCP", QByteArray("P3\0\0", 4) + qCompress(profile).mid(4)) +
                                  pngChunk("tEXt", QByteArray("Comment\0where it was taken", 26));
        const QByteArray withProfile = withChunksAfterHeader(made(photo(64, 48), {}), chunks);
        QTest::newRow("profile and text, text dropped") << withProfile << false << 2 << 8;
        QTest::newRow("profile and text, text kept") << withProfile << true << 2 << 8;
    }

    void pngKeepsItsPixels()
    {
        QFETCH(QByteArray, source);
        QFETCH(bool, keepText);
        QFETCH(int, colourType);
        QFETCH(int, depth);

        QVERIFY(!source.isEmpty());
        const auto output = optimizePNG(source, keepText);
        QVERIFY(output);
        QCOMPARE(int(quint8(output->at(25))), colourType);
        QCOMPARE(int(quint8(output->at(24))), depth);
        const QImage before = stored(source).convertToFormat(QImage::Format_RGBA64);
        QVERIFY(!before.isNull());
        QCOMPARE(stored(*output).convertToFormat(QImage::Format_RGBA64), before);
        QCOMPARE(output->contains("iCCP"), source.contains("iCCP"));
        QCOMPARE(output->contains("where it was taken"), keepText && source.contains("where it was taken"));
    }
};

QTEST_GUILESS_MAIN(tst_Lossless)
#include "tst_lossless.moc"
