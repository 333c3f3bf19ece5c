// SPDX-License-Identifier: GPL-3.0-or-later
// The codec layer's own rules: the largest picture it accepts decoded (larger ones are refused,
// and colour is brought to sRGB, in tests/hardening), and the exact bytes of the P6 picture
// that cjpeg reads, premultiplied alpha dropped. Every kind of input — orientations,
// CMYK, profiles, bit depths, damage — goes through the whole pipeline in tests/hardening.

#include "ImageCodec.h"
#include "PPMPreprocessing.h"
#include "TestFiles.h"
#include "TestImages.h"

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
        QTest::newRow("transparent becomes black, half opacity scales the colour")
            << pixels(QImage::Format_ARGB32, 3, {qRgba(255, 0, 0, 0), qRgba(255, 255, 255, 128), qRgba(0, 255, 0, 255)})
            << QByteArray("P6\n3 1\n255\n") + QByteArray::fromHex("00000080808000ff00");
        QTest::newRow("already premultiplied")
            << pixels(QImage::Format_ARGB32_Premultiplied, 2, {qRgba(0, 0, 0, 0), qRgba(100, 50, 0, 200)})
            << QByteArray("P6\n2 1\n255\n") + QByteArray::fromHex("000000643200");
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
