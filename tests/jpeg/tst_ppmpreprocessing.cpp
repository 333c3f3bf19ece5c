// PPM preprocessing: the exact bytes of the P6 picture, the conversion to sRGB with
// premultiplied alpha dropped, and how writePPM writes and fails. Orientation and CMYK come from
// the codec layer and are tested there, and on the mozjpeg road with the bundled cjpeg.

#include "PPMPreprocessing.h"
#include "TestFiles.h"
#include "TestImages.h"

#include <QColorSpace>
#include <QColorTransform>
#include <QDir>
#include <QTemporaryDir>
#include <QTest>

using namespace pressel;

using namespace Qt::StringLiterals;
using namespace TestFiles;

namespace {

QImage pixels(QImage::Format format, int width, const QList<QRgb> &values)
{
    QImage image(width, int(values.size()) / width, format);
    for (int i = 0; i < values.size(); ++i)
        image.setPixel(i % width, i / width, values[i]);
    return image;
}

QByteArray rgb(std::initializer_list<int> samples)
{
    QByteArray bytes;
    for (const int sample : samples)
        bytes.append(char(sample));
    return bytes;
}

// The pixel at (x, y) of a P6 picture `width` pixels wide whose header is `header`.
QRgb pixelAt(const QByteArray &ppm, const QByteArray &header, int width, int x, int y)
{
    const qsizetype at = header.size() + (qsizetype(y) * width + x) * 3;
    return qRgb(uchar(ppm[at]), uchar(ppm[at + 1]), uchar(ppm[at + 2]));
}

bool near(QRgb actual, QRgb expected, int tolerance)
{
    return std::abs(qRed(actual) - qRed(expected)) <= tolerance &&
           std::abs(qGreen(actual) - qGreen(expected)) <= tolerance &&
           std::abs(qBlue(actual) - qBlue(expected)) <= tolerance;
}

} // namespace

class tst_PPMPreprocessing : public QObject
{
    Q_OBJECT

private slots:
    void makePPMDataBytes_data()
    {
        QTest::addColumn<QImage>("image");
        QTest::addColumn<QByteArray>("expected"); // empty: no picture at all

        QTest::newRow("2x1 red and blue: 17 bytes")
            << pixels(QImage::Format_RGB32, 2, {qRgb(255, 0, 0), qRgb(0, 0, 255)})
            << QByteArray("P6\n2 1\n255\n") + rgb({255, 0, 0, 0, 0, 255});
        QTest::newRow("rows top first, pixels left first")
            << pixels(QImage::Format_RGB32, 2, {qRgb(1, 2, 3), qRgb(4, 5, 6), qRgb(7, 8, 9), qRgb(10, 11, 12)})
            << QByteArray("P6\n2 2\n255\n") + rgb({1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12});
        QTest::newRow("transparent becomes black, half opacity scales the colour")
            << pixels(QImage::Format_ARGB32, 3, {qRgba(255, 0, 0, 0), qRgba(255, 255, 255, 128), qRgba(0, 255, 0, 255)})
            << QByteArray("P6\n3 1\n255\n") + rgb({0, 0, 0, 128, 128, 128, 0, 255, 0});
        QTest::newRow("already premultiplied")
            << pixels(QImage::Format_ARGB32_Premultiplied, 2, {qRgba(0, 0, 0, 0), qRgba(100, 50, 0, 200)})
            << QByteArray("P6\n2 1\n255\n") + rgb({0, 0, 0, 100, 50, 0});
        QTest::newRow("grey gives three equal samples")
            << pixels(QImage::Format_RGB32, 2, {qRgb(0, 0, 0), qRgb(64, 64, 64)})
                   .convertToFormat(QImage::Format_Grayscale8)
            << QByteArray("P6\n2 1\n255\n") + rgb({0, 0, 0, 64, 64, 64});
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

    void sameBytesWhateverThePixelLayout_data()
    {
        QTest::addColumn<QImage>("image");
        QTest::addColumn<QImage::Format>("otherFormat");

        const QImage photo = TestImages::photo(321, 17, 3);
        const QImage graphic = TestImages::transparentGraphic(150, 90);
        QTest::newRow("photo, RGB32 and RGBX8888") << photo << QImage::Format_RGBX8888;
        QTest::newRow("photo, RGB32 and RGB888") << photo << QImage::Format_RGB888;
        QTest::newRow("graphic, ARGB32 and premultiplied ARGB32") << graphic << QImage::Format_ARGB32_Premultiplied;
        QTest::newRow("graphic, ARGB32 and RGBA8888") << graphic << QImage::Format_RGBA8888;
    }

    void sameBytesWhateverThePixelLayout()
    {
        QFETCH(QImage, image);
        QFETCH(QImage::Format, otherFormat);

        const auto ppm = makePPMData(DecodedImage{image, AlphaInfo::none});
        const auto other = makePPMData(DecodedImage{image.convertToFormat(otherFormat), AlphaInfo::none});
        QVERIFY(ppm && other);
        const QByteArray header = u"P6\n%1 %2\n255\n"_s.arg(image.width()).arg(image.height()).toLatin1();
        QVERIFY(ppm->startsWith(header));
        QCOMPARE(ppm->size(), header.size() + image.width() * image.height() * 3);
        QVERIFY(*ppm == *other);
        const QImage premultiplied = image.convertToFormat(QImage::Format_ARGB32_Premultiplied);
        for (const QPoint point : {QPoint(0, 0), QPoint(image.width() - 1, image.height() - 1),
                                   QPoint(image.width() / 2, image.height() / 2)})
            QCOMPARE(pixelAt(*ppm, header, image.width(), point.x(), point.y()),
                     premultiplied.pixel(point) | 0xff000000u);
    }

    void convertsTaggedPixelsToSRGB()
    {
        QImage image = pixels(QImage::Format_RGB32, 2, {qRgb(200, 100, 50), qRgb(20, 180, 90)});
        image.setColorSpace(QColorSpace(QColorSpace::DisplayP3));
        const QColorTransform toSRGB =
            QColorSpace(QColorSpace::DisplayP3).transformationToColorSpace(QColorSpace::SRgb);

        const auto ppm = makePPMData(DecodedImage{image, AlphaInfo::noneSkipLast});
        QVERIFY(ppm);
        for (int x = 0; x < 2; ++x) {
            const QRgb written = pixelAt(*ppm, "P6\n2 1\n255\n", 2, x, 0);
            QVERIFY(near(written, toSRGB.map(image.pixel(x, 0)), 1));
            QVERIFY(written != image.pixel(x, 0));
        }
    }

    void writePPMFromAFile()
    {
        QTemporaryDir dir;
        const QString source = dir.filePath(u"transparent.png"_s);
        TestImages::write(TestImages::transparentGraphic(64, 48), source, "png");
        const QByteArray sourceHash = TestImages::sha256(source);
        // A stale file at the picture's name is replaced as a whole.
        const QString ppmPath = dir.filePath(u"stale.ppm"_s);
        QVERIFY(writeFile(ppmPath, QByteArray(64 * 48 * 4, 'z')));

        const auto written = writePPM(QUrl::fromLocalFile(source), QUrl::fromLocalFile(ppmPath));
        QVERIFY2(written, qPrintable(written ? QString() : written.error().localizedDescription()));
        const QByteArray ppm = readFile(ppmPath);
        const QByteArray header("P6\n64 48\n255\n");
        QCOMPARE(ppm.size(), header.size() + 64 * 48 * 3);
        for (const QPoint corner : {QPoint(0, 0), QPoint(63, 0), QPoint(0, 47), QPoint(63, 47)})
            QCOMPARE(pixelAt(ppm, header, 64, corner.x(), corner.y()), qRgb(0, 0, 0));
        QVERIFY(near(pixelAt(ppm, header, 64, 32, 24), qRgb(230, 120, 30), 1));
        QCOMPARE(TestImages::sha256(source), sourceHash);
        QCOMPARE(entryNames(dir.path()), (QStringList{u"stale.ppm"_s, u"transparent.png"_s}));
    }

    void writePPMFailures_data()
    {
        QTest::addColumn<QString>("source");   // "missing", "garbage" or "photo"
        QTest::addColumn<QString>("ppmPlace"); // relative to the temporary folder
        QTest::addColumn<QString>("expected"); // the whole message, or a prefix ending in "："

        const QString unwritable = u"mozjpeg 输入预处理失败："_s;
        QTest::newRow("missing source") << "missing"
                                        << "out.ppm" << u"图片读取失败"_s;
        QTest::newRow("JPEG header, no picture") << "garbage"
                                                 << "out.ppm" << u"无法解码图片内容"_s;
        QTest::newRow("folder below a regular file") << "photo"
                                                     << "plain/sub/out.ppm" << unwritable;
        QTest::newRow("folder that does not exist") << "photo"
                                                    << "absent/out.ppm" << unwritable;
        QTest::newRow("a folder stands at the picture's name") << "photo"
                                                               << "taken.ppm" << unwritable;
    }

    void writePPMFailures()
    {
        QFETCH(QString, source);
        QFETCH(QString, ppmPlace);
        QFETCH(QString, expected);

        QTemporaryDir dir;
        QVERIFY(writeFile(dir.filePath(u"plain"_s), "not a folder"));
        QVERIFY(QDir().mkpath(dir.filePath(u"taken.ppm"_s)));
        const QString sourcePath = dir.filePath(u"source.jpg"_s);
        if (source == u"garbage")
            QVERIFY(writeFile(sourcePath, QByteArray("\xFF\xD8\xFF\xE0", 4) + QByteArray(200, 'x')));
        else if (source == u"photo")
            TestImages::write(TestImages::photo(40, 30), sourcePath, "jpeg", 90);
        const QStringList before = entryNames(dir.path());

        const auto written = writePPM(QUrl::fromLocalFile(sourcePath), QUrl::fromLocalFile(dir.filePath(ppmPlace)));
        QVERIFY(!written);
        const QString message = written.error().localizedDescription();
        if (expected.endsWith(u'：')) {
            QVERIFY2(message.startsWith(expected) && message.size() > expected.size(), qPrintable(message));
            QVERIFY(written.error().is(CompressionPipelineError::Kind::backendExecutionFailed));
        } else {
            QCOMPARE(message, expected);
        }
        QCOMPARE(entryNames(dir.path()), before);
    }
};

QTEST_GUILESS_MAIN(tst_PPMPreprocessing)
#include "tst_ppmpreprocessing.moc"
