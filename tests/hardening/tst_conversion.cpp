// SPDX-License-Identifier: GPL-3.0-or-later
// Converting formats through the real pipeline: every source kind (made by libjpeg, Qt,
// libheif's, libavif's and libwebp's own tools, ImageMagick) to every output format. Each output
// is read back by a decoder of its own format's project (djpeg, dwebp, heif-convert, which turns
// by irot and imir as viewers do) and must show the picture the source shows: upright, turned
// once, with its transparency (over white in JPEG), saying orientation 1 where it says one.
// Hostile files fail and leave nothing; formats kept as they are stay refused as before.

#include "HardeningSupport.h"

#include <QPainter>
#include <QTest>

using namespace pressel;

using namespace Qt::StringLiterals;
using namespace TestFiles;
using namespace TestImages;

namespace {

// The picture every source shows; with alpha its left half fades in from the top.
QImage viewedPicture(bool alpha)
{
    return scene(96, 64, alpha);
}

QByteArray turnedJPEG(const QImage &viewed, int quality)
{
    return orientedJPEG(jpeg(storedForOrientation(viewed, 6), {.quality = quality}), 6);
}

// An APNG of two frames of one colour each, red then blue, as an animated sticker is stored.
QByteArray twoFramePNG(quint32 width, quint32 height)
{
    const auto frameData = [&](QByteArray pixel) {
        const QByteArray row = '\0' + pixel.repeated(qsizetype(width));
        return qCompress(row.repeated(qsizetype(height)), 9).mid(4); // zlib's stream, not Qt's size
    };
    const auto bigEndian = [](std::initializer_list<quint32> words) {
        QByteArray bytes;
        for (quint32 word : words)
            bytes += QByteArray::fromHex(QByteArray::number(word, 16).rightJustified(8, '0'));
        return bytes;
    };
    // Sequence number, size, offset 0 0, a delay of 1/2 s, no disposal or blending.
    const auto frameControl = [&](quint32 sequence) {
        return pngChunk("fcTL", bigEndian({sequence, width, height, 0, 0}) + QByteArray::fromHex("00010002") +
                                    QByteArray(2, '\0'));
    };
    return QByteArray("\x89PNG\r\n\x1A\n", 8) +
           pngChunk("IHDR", bigEndian({width, height}) + QByteArray::fromHex("0802000000")) +
           pngChunk("acTL", bigEndian({2, 0})) + frameControl(0) +
           pngChunk("IDAT", frameData(QByteArray("\xff\x00\x00", 3))) + frameControl(1) +
           pngChunk("fdAT", bigEndian({2}) + frameData(QByteArray("\x00\x00\xff", 3))) + pngChunk("IEND", {});
}

QImage overWhite(const QImage &image)
{
    QImage flat(image.size(), QImage::Format_RGB32);
    flat.fill(Qt::white);
    QPainter(&flat).drawImage(0, 0, image);
    return flat;
}

// The output as its own format's decoder reads it, written as a PNG or PPM.
QImage decodedByItsProject(const QString &path, ImageFormat::Kind kind)
{
    QTemporaryDir scratch;
    const QString out = scratch.filePath(kind == ImageFormat::Kind::jpeg ? u"out.ppm"_s : u"out.png"_s);
    const ProcessRun run = kind == ImageFormat::Kind::jpeg   ? TestFiles::run(u"djpeg"_s, {u"-outfile"_s, out, path})
                           : kind == ImageFormat::Kind::webp ? TestFiles::run(u"dwebp"_s, {path, u"-o"_s, out})
                                                             : TestFiles::run(u"heif-convert"_s, {path, out});
    return run.finished && run.exitCode == 0 ? QImage(out) : QImage();
}

QList<CompressionResult> convert(const QString &path, OutputFormat format, MetadataPolicy metadata)
{
    CompressionSettings settings;
    settings.outputFormat = format;
    settings.metadata = metadata;
    const auto service = makeStandardCompressionService(buildBundle());
    auto batch = service->compressFiles({QUrl::fromLocalFile(path)}, settings);
    batch.waitForFinished();
    return batch.result();
}

} // namespace

class tst_Conversion : public QObject
{
    Q_OBJECT

private slots:
    void everySourceToEveryFormat_data()
    {
        QTest::addColumn<QString>("fileName");
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<bool>("alpha");
        QTest::addColumn<int>("target"); // an OutputFormat

        const QImage opaque = viewedPicture(false), translucent = viewedPicture(true);
        const QByteArray translucentPNG = storedPNG(translucent);
        const QList<std::tuple<const char *, QString, QByteArray, bool>> sources{
            {"JPEG, EXIF orientation 6", u"photo.jpg"_s, turnedJPEG(opaque, 97), false},
            {"PNG with alpha", u"graphic.png"_s, translucentPNG, true},
            {"HEIC", u"IMG_0001.HEIC"_s, heif({opaque}).value_or(QByteArray()), false},
            {"HEIC with alpha", u"IMG_0002.heic"_s, heif({translucent}).value_or(QByteArray()), true},
            // avifenc turns the EXIF orientation into irot and keeps the EXIF: turned once.
            {"AVIF with irot and EXIF orientation 6", u"turned.avif"_s,
             tool(u"avifenc"_s, {{u"in.jpg"_s, turnedJPEG(opaque, 95)}},
                  {u"--min"_s, u"0"_s, u"--max"_s, u"0"_s, u"in.jpg"_s, u"-o"_s, u"out"_s}),
             false},
            {"WebP with alpha", u"web.webp"_s,
             tool(u"cwebp"_s, {{u"in.png"_s, translucentPNG}}, {u"-q"_s, u"100"_s, u"in.png"_s, u"-o"_s, u"out"_s}),
             true},
            {"TIFF CMYK", u"scan.tiff"_s,
             TestImages::convert({opaque}, {u"-colorspace"_s, u"CMYK"_s}, u"tiff"_s).value_or(QByteArray()), false},
        };
        for (const auto &[name, fileName, bytes, alpha] : sources) {
            for (const auto &[target, label] :
                 {std::pair{OutputFormat::jpeg, "JPEG"}, {OutputFormat::webp, "WebP"}, {OutputFormat::avif, "AVIF"}})
                QTest::addRow("%s to %s", name, label) << fileName << bytes << alpha << int(target);
        }
    }

    void everySourceToEveryFormat()
    {
        QFETCH(QString, fileName);
        QFETCH(QByteArray, bytes);
        QFETCH(bool, alpha);
        QFETCH(int, target);

        QVERIFY2(!bytes.isEmpty(), "the source's tool made no file");
        const QString folder = m_sandbox.newFolder(u"row"_s);
        QVERIFY(writeFile(folder + u'/' + fileName, bytes));
        const FolderRecord before(folder);
        const QList<CompressionResult> results =
            convert(folder + u'/' + fileName, OutputFormat(target), MetadataPolicy::all);
        QCOMPARE(results.size(), 1);
        const CompressionResult &result = results.first();
        QVERIFY2(result.status == CompressionResultStatus::success, qPrintable(describe(result)));
        QVERIFY2(before.changesBeyond(outputNames(results)).isEmpty(),
                 qPrintable(before.changesBeyond(outputNames(results))));
        QVERIFY(m_sandbox.leftovers().isEmpty());

        // Named after the source, numbered, with the target's extension; a change of format is said.
        const ImageFormat::Kind kind = CompressionSettings{.outputFormat = OutputFormat(target)}.outputKind({});
        const ImageFormat::Kind sourceKind = ImageSource::fromBytes(bytes)->kind();
        const QString output = result.outputURL->toLocalFile();
        QCOMPARE(QFileInfo(output).completeBaseName(), QFileInfo(fileName).completeBaseName() + u"-1"_s);
        QCOMPARE(QFileInfo(output).suffix(),
                 kind == ImageFormat::Kind::jpeg ? u"jpg"_s : ImageFormat::displayName(kind).toLower());
        QCOMPARE(result.conversion.has_value(), sourceKind != kind);

        const QImage decoded = decodedByItsProject(output, kind);
        const QImage viewed = viewedPicture(alpha);
        QCOMPARE(decoded.size(), viewed.size());
        const bool keepsAlpha = alpha && kind != ImageFormat::Kind::jpeg;
        QCOMPARE(decoded.hasAlphaChannel(), keepsAlpha);
        const QImage expected = alpha && !keepsAlpha ? overWhite(viewed) : viewed;
        const double difference = meanColourError(decoded, expected, 8);
        QVERIFY2(difference < 12, qPrintable(u"mean difference %1"_s.arg(difference)));
        // Upright pixels say so, or say nothing.
        const ProcessRun tags = TestFiles::run(u"exiftool"_s, {u"-s3"_s, u"-n"_s, u"-Orientation"_s, output});
        QVERIFY(tags.finished && tags.exitCode == 0);
        QVERIFY2(tags.standardOutput.trimmed().isEmpty() || tags.standardOutput.trimmed() == "1", tags.standardOutput);
    }

    void hostileOrRefusedLeaveNothing_data()
    {
        QTest::addColumn<QString>("fileName");
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<int>("target");
        QTest::addColumn<QString>("reason");

        const QImage picture = photo(256, 256);
        const QByteArray avif =
            tool(u"avifenc"_s, {{u"in.png"_s, encode(picture, "png")}}, {u"in.png"_s, u"-o"_s, u"out"_s});
        const QByteArray heic = heif({picture}).value_or(QByteArray());
        const QByteArray avifGrid = tool(u"avifenc"_s, {{u"in.png"_s, encode(picture, "png")}},
                                         {u"--grid"_s, u"2x1"_s, u"in.png"_s, u"-o"_s, u"out"_s});
        const QByteArray animated =
            tool(u"img2webp"_s, {{u"a.png"_s, encode(picture, "png")}, {u"b.png"_s, encode(scene(256, 256), "png")}},
                 {u"a.png"_s, u"b.png"_s, u"-o"_s, u"out"_s});
        const auto jpeg = int(OutputFormat::jpeg), webp = int(OutputFormat::webp), keep = int(OutputFormat::keep);
        QTest::newRow("AVIF claiming 60000 x 60000")
            << u"huge.avif"_s << withClaimedHEIFSize(avif, 60000, 60000) << jpeg << u"imageDecodeFailed"_s;
        QTest::newRow("HEIC cut off") << u"cut.heic"_s << truncated(heic, 0.6) << webp << u"imageDecodeFailed"_s;
        QTest::newRow("AVIF grid missing its last tile")
            << u"grid.avif"_s << avifGrid.chopped(200) << jpeg << u"imageDecodeFailed"_s;
        QTest::newRow("animated WebP") << u"moving.webp"_s << animated << jpeg << u"animatedImage"_s;
        QTest::newRow("HEIC kept as it is") << u"IMG.HEIC"_s << heic << keep << u"heifUnsupported"_s;
        QTest::newRow("WebP kept as it is") << u"web.WebP"_s << animated << keep << u"unsupportedFormat"_s;
        // An APNG's first frame is not the picture: neither pngquant nor a conversion may pass for it.
        QTest::newRow("APNG kept as PNG") << u"sticker.png"_s << twoFramePNG(64, 48) << keep << u"animatedImage"_s;
        QTest::newRow("APNG to WebP") << u"sticker.png"_s << twoFramePNG(64, 48) << webp << u"animatedImage"_s;
        const QByteArray avifSequence =
            tool(u"avifenc"_s, {{u"a.png"_s, encode(picture, "png")}, {u"b.png"_s, encode(scene(256, 256), "png")}},
                 {u"--fps"_s, u"2"_s, u"a.png"_s, u"b.png"_s, u"-o"_s, u"out"_s});
        QTest::newRow("AVIF sequence") << u"moving.avif"_s << avifSequence << jpeg << u"animatedImage"_s;
    }

    void hostileOrRefusedLeaveNothing()
    {
        QFETCH(QString, fileName);
        QFETCH(QByteArray, bytes);
        QFETCH(int, target);
        QFETCH(QString, reason);

        QVERIFY(bytes.size() > 100);
        const QString folder = m_sandbox.newFolder(u"row"_s);
        QVERIFY(writeFile(folder + u'/' + fileName, bytes));
        const FolderRecord before(folder);
        const QList<CompressionResult> results =
            convert(folder + u'/' + fileName, OutputFormat(target), MetadataPolicy::strip);
        QCOMPARE(results.size(), 1);
        QVERIFY2(results.first().failure && results.first().failure->reasonName() == reason,
                 qPrintable(describe(results.first())));
        QVERIFY(!results.first().outputURL);
        QCOMPARE(before.changesBeyond(), QString());
        QVERIFY(m_sandbox.leftovers().isEmpty());
    }

private:
    Sandbox m_sandbox;
};

QTEST_GUILESS_MAIN(tst_Conversion)
#include "tst_conversion.moc"
