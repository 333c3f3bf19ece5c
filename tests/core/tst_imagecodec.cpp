// The codec layer's own rules: colour brought to sRGB, and pictures too large to hold refused
// from their header, the largest accepted one still decoded. Every kind of input — orientations,
// CMYK, profiles, bit depths, damage — goes through the whole pipeline in tests/hardening.

#include "ImageCodec.h"
#include "TestFiles.h"
#include "TestImages.h"

#include <QColorSpace>
#include <QTemporaryDir>
#include <QTest>

using namespace pressel;

using namespace Qt::StringLiterals;
using namespace TestFiles;
using namespace TestImages;

class tst_ImageCodec : public QObject
{
    Q_OBJECT

    std::optional<DecodedImage> decode(const QByteArray &bytes)
    {
        const QString path = m_dir.filePath(u"picture"_s);
        if (!writeFile(path, bytes))
            return std::nullopt;
        const auto source = ImageSource::create(QUrl::fromLocalFile(path));
        return source ? source->createImageAtIndex0() : std::nullopt;
    }

    QTemporaryDir m_dir;

private slots:
    void convertsEmbeddedProfilesToSRGB_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        // Colours well inside sRGB, so that conversion never clips them.
        QImage picture(64, 16, QImage::Format_RGB32);
        const QList<QRgb> colours{qRgb(200, 120, 80), qRgb(60, 150, 200), qRgb(120, 200, 90), qRgb(230, 200, 90)};
        for (int x = 0; x < 64; ++x) {
            for (int y = 0; y < 16; ++y)
                picture.setPixel(x, y, colours[x / 16]);
        }
        QImage p3 = picture;
        p3.setColorSpace(QColorSpace::DisplayP3);
        QImage adobe = picture;
        adobe.setColorSpace(QColorSpace::AdobeRgb);
        QTest::newRow("Display P3 jpeg") << encode(p3, "jpeg", 100);
        QTest::newRow("Adobe RGB png") << encode(adobe, "png");
    }

    void convertsEmbeddedProfilesToSRGB()
    {
        QFETCH(QByteArray, bytes);
        // Qt's own colour transform is the reference: an implementation independent of the one used.
        const QImage untouched = QImage::fromData(bytes);
        const QImage expected = untouched.convertedToColorSpace(QColorSpace::SRgb);
        QVERIFY2(meanColourError(untouched, expected) > 4.0, "the fixture must tell converted colours from others");
        const auto image = decode(bytes);
        QVERIFY(image);
        QVERIFY2(!image->image.colorSpace().isValid(), "decoded pixels are sRGB and carry no tag");
        const double error = meanColourError(image->image, expected);
        QVERIFY2(error < 2.0, qPrintable(u"mean colour error %1"_s.arg(error)));
    }

    void refusesPicturesTooLargeToHold_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::newRow("png bomb, 60000 x 60000") << pngBomb(60000, 60000);
        QTest::newRow("png bomb, header only") << pngBomb(60000, 60000, true);
        QTest::newRow("png one column over the limit") << pngBomb(16385, 16384);
        QByteArray jpeg = encode(photo(64, 48), "jpeg");
        jpeg.replace(jpeg.indexOf("\xFF\xC0") + 5, 4, QByteArray("\xFD\xE8\xFD\xE8", 4)); // 65000 x 65000
        QTest::newRow("jpeg claiming 65000 x 65000") << jpeg;
        if (const auto heic = heif({photo(64, 48)}))
            QTest::newRow("heic claiming 20000 x 20000") << withClaimedHEIFSize(*heic, 20000, 20000);
    }

    void refusesPicturesTooLargeToHold()
    {
        QFETCH(QByteArray, bytes);
        QVERIFY(!decode(bytes));
    }

    void decodesTheLargestAcceptedPicture()
    {
        const auto image = decode(pngBomb(16384, 16384));
        QVERIFY(image);
        QCOMPARE(image->image.size(), QSize(16384, 16384));
    }
};

QTEST_GUILESS_MAIN(tst_ImageCodec)
#include "tst_imagecodec.moc"
