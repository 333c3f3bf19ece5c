// SPDX-License-Identifier: GPL-3.0-or-later
// The codec layer's own rules: the largest picture it accepts decoded (larger ones are refused,
// and colour is brought to sRGB, in tests/hardening), and the exact bytes of the P6 picture
// that cjpeg reads, premultiplied alpha dropped. Every kind of input — orientations,
// CMYK, profiles, bit depths, damage — goes through the whole pipeline in tests/hardening.
// Phone and web containers (HEIC, AVIF, WebP, TIFF) are made here by Debian's own encoders and
// decoded upright; hostile headers are refused; the WebP and AVIF encoders' files are read
// back by libwebp's and libavif's own tools.

#include "AVIFEncoder.h"
#include "ImageCodec.h"
#include "PPMPreprocessing.h"
#include "TestFiles.h"
#include "TestImages.h"
#include "WebPEncoder.h"

#include <QColor>
#include <QTemporaryDir>
#include <QTest>

using namespace pressel;

using namespace Qt::StringLiterals;
using namespace TestFiles;
using namespace TestImages;

namespace {

QImage pixels(QImage::Format format, int width, const QList<QRgb> &values)
{
    QImage image(width, int(values.size()) / width, format);
    for (int i = 0; i < values.size(); ++i)
        image.setPixel(i % width, i / width, values[i]);
    return image;
}

// Four coloured quarters, so that any turn or mirror shows at the top left; with alpha the bottom
// right one is transparent.
QImage quarters(bool alpha = false)
{
    QImage image(128, 64, alpha ? QImage::Format_ARGB32 : QImage::Format_RGB32);
    const QList<QRgb> colours{qRgb(255, 0, 0), qRgb(0, 255, 0), qRgb(0, 0, 255),
                              alpha ? qRgba(0, 0, 0, 0) : qRgb(255, 255, 255)};
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            image.setPixel(x, y, colours[(y >= 32) * 2 + (x >= 64)]);
    return image;
}

QByteArray png(const QImage &image)
{
    return encode(image, "png");
}

// EXIF orientation 6 (turn 90° clockwise to view) on a JPEG of the quarters.
QByteArray turnedJPEG()
{
    return orientedJPEG(jpeg(quarters()), 6);
}

QByteArray avifGrid()
{
    return tool(u"avifenc"_s, {{u"in.png"_s, png(quarters())}},
                {u"--grid"_s, u"2x1"_s, u"in.png"_s, u"-o"_s, u"out"_s});
}

std::optional<DecodedImage> decoded(const QByteArray &bytes)
{
    const auto source = ImageSource::fromBytes(bytes);
    return source ? source->createImageAtIndex0() : std::nullopt;
}

} // namespace

class tst_ImageCodec : public QObject
{
    Q_OBJECT

private slots:
    void makePPMDataBytes_data()
    {
        QTest::addColumn<QImage>("image");
        QTest::addColumn<QByteArray>("expected"); // empty: no picture at all

        QTest::newRow("2x1 red and blue: 17 bytes")
            << pixels(QImage::Format_RGB32, 2, {qRgb(255, 0, 0), qRgb(0, 0, 255)})
            << QByteArray("P6\n2 1\n255\n") + QByteArray::fromHex("ff00000000ff");
        QTest::newRow("rows top first, pixels left first")
            << pixels(QImage::Format_RGB32, 2, {qRgb(1, 2, 3), qRgb(4, 5, 6), qRgb(7, 8, 9), qRgb(10, 11, 12)})
            << QByteArray("P6\n2 2\n255\n") + QByteArray::fromHex("0102030405060708090a0b0c");
        QTest::newRow("transparent becomes white, half opacity half white")
            << pixels(QImage::Format_ARGB32, 3, {qRgba(255, 0, 0, 0), qRgba(0, 0, 0, 128), qRgba(0, 255, 0, 255)})
            << QByteArray("P6\n3 1\n255\n") + QByteArray::fromHex("ffffff7f7f7f00ff00");
        QTest::newRow("already premultiplied")
            << pixels(QImage::Format_ARGB32_Premultiplied, 2, {qRgba(0, 0, 0, 0), qRgba(100, 50, 0, 200)})
            << QByteArray("P6\n2 1\n255\n") + QByteArray::fromHex("ffffff9b6937");
        QTest::newRow("grey gives three equal samples")
            << pixels(QImage::Format_RGB32, 2, {qRgb(0, 0, 0), qRgb(64, 64, 64)})
                   .convertToFormat(QImage::Format_Grayscale8)
            << QByteArray("P6\n2 1\n255\n") + QByteArray::fromHex("000000404040");
        QTest::newRow("null image") << QImage() << QByteArray();
    }

    void makePPMDataBytes()
    {
        QFETCH(QImage, image);
        QFETCH(QByteArray, expected);

        const auto ppm = makePPMData(DecodedImage{image, AlphaInfo::none});
        QCOMPARE(ppm.value_or(QByteArray()), expected);
        QCOMPARE(bool(ppm), !expected.isEmpty());
    }

    void decodesEveryContainerUpright_data()
    {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<QSize>("size");
        QTest::addColumn<bool>("alpha");
        QTest::addColumn<QRgb>("topLeft"); // the upright picture's top left quarter

        const QRgb red = qRgb(255, 0, 0), blue = qRgb(0, 0, 255);
        const QSize wide(128, 64), tall(64, 128);
        const QImage deep = quarters().convertToFormat(QImage::Format_RGBX64);
        const QByteArray opaque = png(quarters()), translucent = png(quarters(true));
        const auto avifenc = [](const QByteArray &input, const QString &name, const QStringList &options) {
            return tool(u"avifenc"_s, {{name, input}}, options + QStringList{name, u"-o"_s, u"out"_s});
        };
        const auto cwebp = [](const QByteArray &input, const QStringList &options) {
            return tool(u"cwebp"_s, {{u"in.png"_s, input}}, options + QStringList{u"in.png"_s, u"-o"_s, u"out"_s});
        };
        const auto tiff = [](const QList<QImage> &pages, const QStringList &options) {
            return convert(pages, options, u"tiff"_s).value_or(QByteArray());
        };
        QTest::newRow("HEIC") << heif({quarters()}).value_or(QByteArray()) << wide << false << red;
        QTest::newRow("HEIC 10-bit") << heif({deep}, {u"-b"_s, u"10"_s}).value_or(QByteArray()) << wide << false << red;
        QTest::newRow("HEIC with alpha") << heif({quarters(true)}).value_or(QByteArray()) << wide << true << red;
        QTest::newRow("HEIC collection: its primary image")
            << heif({quarters(), photo(40, 40)}).value_or(QByteArray()) << wide << false << red;
        // In HEIF only irot and imir say how a picture stands; viewers ignore an EXIF orientation.
        QTest::newRow("HEIC whose EXIF alone says turn: as stored")
            << tool(u"heif-enc"_s, {{u"in.jpg"_s, turnedJPEG()}}, {u"in.jpg"_s, u"-o"_s, u"out"_s}) << wide << false
            << red;
        QTest::newRow("AVIF with irot and the same turn in EXIF: turned once")
            << avifenc(turnedJPEG(), u"in.jpg"_s, {}) << tall << false << blue;
        QTest::newRow("AVIF with imir 0: top and bottom exchanged")
            << avifenc(opaque, u"in.png"_s, {u"--imir"_s, u"0"_s}) << wide << false << blue;
        QTest::newRow("AVIF grid of two tiles") << avifGrid() << wide << false << red;
        QTest::newRow("AVIF 10-bit with alpha")
            << avifenc(translucent, u"in.png"_s, {u"-d"_s, u"10"_s}) << wide << true << red;
        QTest::newRow("WebP lossy") << cwebp(opaque, {u"-q"_s, u"80"_s}) << wide << false << red;
        QTest::newRow("WebP lossy with alpha") << cwebp(translucent, {u"-q"_s, u"80"_s}) << wide << true << red;
        QTest::newRow("WebP lossless with alpha") << cwebp(translucent, {u"-lossless"_s}) << wide << true << red;
        const QByteArray exif = turnedJPEG().mid(turnedJPEG().indexOf("Exif\0\0") + 6);
        QTest::newRow("WebP with EXIF orientation 6")
            << tool(u"webpmux"_s, {{u"in.webp"_s, cwebp(opaque, {})}, {u"exif"_s, exif}},
                    {u"-set"_s, u"exif"_s, u"exif"_s, u"in.webp"_s, u"-o"_s, u"out"_s})
            << tall << false << blue;
        QTest::newRow("TIFF 16-bit RGB") << tiff({deep}, {u"-depth"_s, u"16"_s}) << wide << false << red;
        QTest::newRow("TIFF 16-bit grey") << tiff({quarters()}, {u"-colorspace"_s, u"Gray"_s, u"-depth"_s, u"16"_s})
                                          << wide << false << qRgb(65, 65, 65);
        QTest::newRow("TIFF CMYK, orientation 6")
            << tiff({quarters()}, {u"-colorspace"_s, u"CMYK"_s, u"-orient"_s, u"RightTop"_s}) << tall << false << blue;
        QTest::newRow("TIFF CMYK 16-bit")
            << tiff({quarters()}, {u"-colorspace"_s, u"CMYK"_s, u"-depth"_s, u"16"_s}) << wide << false << red;
        QTest::newRow("TIFF pages: the first") << tiff({quarters(true), photo(40, 40)}, {}) << wide << true << red;
    }

    void decodesEveryContainerUpright()
    {
        QFETCH(QByteArray, file);
        QFETCH(QSize, size);
        QFETCH(bool, alpha);
        QFETCH(QRgb, topLeft);

        QVERIFY2(!file.isEmpty(), "the encoder made no file");
        const auto source = ImageSource::fromBytes(file);
        QVERIFY(source);
        QCOMPARE(source->uprightSize(), size);
        QVERIFY(source->claimsPlausibleSize());
        const auto image = source->createImageAtIndex0();
        QVERIFY(image);
        QCOMPARE(image->image.size(), size);
        QCOMPARE(image->image.hasAlphaChannel(), alpha);
        const QRgb seen = image->image.pixel(size.width() / 8, size.height() / 8);
        QVERIFY2(std::abs(qRed(seen) - qRed(topLeft)) + std::abs(qGreen(seen) - qGreen(topLeft)) +
                         std::abs(qBlue(seen) - qBlue(topLeft)) <
                     60,
                 qPrintable(QColor(seen).name()));
    }

    void refusesHostileFiles_data()
    {
        QTest::addColumn<QByteArray>("file");

        const QByteArray avif = tool(u"avifenc"_s, {{u"in.png"_s, png(quarters())}}, {u"in.png"_s, u"-o"_s, u"out"_s});
        QByteArray manyTiles = avifGrid();
        // The grid's description: version, flags, rows - 1, columns - 1, then its 128 x 64 size.
        manyTiles.replace(QByteArray::fromHex("0000000100800040"), QByteArray::fromHex("0000ffff00800040"));
        QTest::newRow("AVIF claiming 60000 x 60000") << withClaimedHEIFSize(avif, 60000, 60000);
        QTest::newRow("HEIC claiming 30000 x 30000")
            << withClaimedHEIFSize(heif({quarters()}).value_or(QByteArray()), 30000, 30000);
        QTest::newRow("grid of 65536 tiles holding two") << manyTiles;
        // libheif allocates a grid's canvas at the grid box's size, whatever the image's ispe says.
        QByteArray hugeCanvas = avifGrid();
        hugeCanvas.replace(QByteArray::fromHex("0000000100800040"), QByteArray::fromHex("0000000169726f74"));
        QTest::newRow("grid canvas of 26994 x 28532 behind a 128 x 64 image") << hugeCanvas;
        QTest::newRow("grid missing its last tile's data") << avifGrid().chopped(200);
        QTest::newRow("truncated HEIC") << truncated(heif({photo(256, 256)}).value_or(QByteArray()), 0.6);
        QTest::newRow("truncated WebP") << truncated(encodeWebP({photo(256, 256)}, 80, false).value_or(QByteArray()),
                                                     0.6);
        QTest::newRow("truncated TIFF") << truncated(
            convert({photo(256, 256)}, {u"-colorspace"_s, u"CMYK"_s}, u"tiff"_s).value_or(QByteArray()), 0.6);
        QTest::newRow("animated WebP") << tool(u"img2webp"_s,
                                               {{u"a.png"_s, png(quarters())}, {u"b.png"_s, png(photo(128, 64))}},
                                               {u"a.png"_s, u"b.png"_s, u"-o"_s, u"out"_s});
    }

    void refusesHostileFiles()
    {
        QFETCH(QByteArray, file);

        QVERIFY(file.size() > 100);
        const auto source = ImageSource::fromBytes(file);
        QVERIFY(source);
        QVERIFY(!source->createImageAtIndex0());
        QCOMPARE(source->isAnimated(), QByteArray(QTest::currentDataTag()).contains("animated"));
    }

    void lossyWebPClaimingTooManyPixelsIsImplausible()
    {
        // The VP8 frame header's 14-bit width and height, after its start code.
        QByteArray webp = encodeWebP({photo(64, 64)}, 80, false).value_or(QByteArray());
        webp.replace(webp.indexOf("\x9d\x01\x2a") + 3, 4, QByteArray::fromHex("ff3fff3f"));
        const auto source = ImageSource::fromBytes(webp);
        QVERIFY(source);
        QCOMPARE(source->pixelCountFromHeader(), qint64(16383) * 16383);
        QVERIFY(!source->claimsPlausibleSize());
    }

    void encodersWriteWhatOtherDecodersRead_data()
    {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<QString>("decoder");
        QTest::addColumn<QImage>("picture");

        const QImage opaque = photo(160, 96, 3), translucent = transparentGraphic(160, 96);
        AVIFSettings turned;
        // libavif turns an EXIF orientation into irot; the pixels given are upright already.
        turned.exif = turnedJPEG().mid(turnedJPEG().indexOf("Exif\0\0") + 6);
        QTest::newRow("WebP lossy") << encodeWebP({opaque}, 80, false).value_or(QByteArray()) << u"dwebp"_s << opaque;
        QTest::newRow("WebP lossy with alpha")
            << encodeWebP({translucent}, 80, false).value_or(QByteArray()) << u"dwebp"_s << translucent;
        QTest::newRow("WebP lossless with alpha")
            << encodeWebP({translucent}, 80, true).value_or(QByteArray()) << u"dwebp"_s << translucent;
        QTest::newRow("AVIF") << encodeAVIF({opaque}, 60).value_or(QByteArray()) << u"avifdec"_s << opaque;
        QTest::newRow("AVIF with alpha") << encodeAVIF({translucent}, 60).value_or(QByteArray()) << u"avifdec"_s
                                         << translucent;
        QTest::newRow("AVIF with a turning EXIF: not turned")
            << encodeAVIF({opaque}, turned).value_or(QByteArray()) << u"heif-convert"_s << opaque;
    }

    void encodersWriteWhatOtherDecodersRead()
    {
        QFETCH(QByteArray, file);
        QFETCH(QString, decoder);
        QFETCH(QImage, picture);

        QVERIFY(!file.isEmpty());
        const QStringList arguments =
            decoder == u"dwebp" ? QStringList{u"in"_s, u"-o"_s, u"out.png"_s} : QStringList{u"in"_s, u"out.png"_s};
        QTemporaryDir scratch;
        QVERIFY(writeFile(scratch.filePath(u"in"_s), file));
        const ProcessRun run = TestFiles::run(decoder, arguments, {scratch.path()});
        QVERIFY2(run.finished && run.exitCode == 0, run.standardError.constData());
        const QImage read(scratch.filePath(u"out.png"_s));
        QCOMPARE(read.size(), picture.size());
        QCOMPARE(read.hasAlphaChannel(), picture.hasAlphaChannel());
        QVERIFY2(meanColourError(read, picture) < 6, qPrintable(QString::number(meanColourError(read, picture))));
        QCOMPARE(decoded(file)->image.size(), picture.size());
    }

    void decodesTheLargestAcceptedPicture()
    {
        QTemporaryDir dir;
        QVERIFY(writeFile(dir.filePath(u"picture"_s), pngBomb(16384, 16384)));
        const auto source = ImageSource::create(QUrl::fromLocalFile(dir.filePath(u"picture"_s)));
        const auto image = source ? source->createImageAtIndex0() : std::nullopt;
        QVERIFY(image);
        QCOMPARE(image->image.size(), QSize(16384, 16384));
    }
};

QTEST_GUILESS_MAIN(tst_ImageCodec)
#include "tst_imagecodec.moc"
