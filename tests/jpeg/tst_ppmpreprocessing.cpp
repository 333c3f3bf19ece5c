// PPM preprocessing: the exact bytes of the P6 picture, the conversion to sRGB with
// premultiplied alpha dropped, upright pixels, and how writePPM fails.

#include "JPEGTestSupport.h"
#include "PPMPreprocessing.h"
#include "TestImages.h"

#include <QColorSpace>
#include <QColorTransform>
#include <QDir>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

using namespace JPEGTestSupport;

class tst_PPMPreprocessing : public QObject
{
    Q_OBJECT

private slots:
    void makePPMDataBytes_data();
    void makePPMDataBytes();
    void headerAndLengthOfALargerPicture();
    void sameBytesWhateverThePixelLayout_data();
    void sameBytesWhateverThePixelLayout();
    void convertsTaggedPixelsToSRGB();
    void nullImageGivesNothing();
    void writePPMFromFiles_data();
    void writePPMFromFiles();
    void appliesOrientation_data();
    void appliesOrientation();
    void convertsCMYKJPEG();
    void writePPMFailures_data();
    void writePPMFailures();
    void writePPMReplacesWholeFile();
};

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

struct PPM {
    int width = 0;
    int height = 0;
    QByteArray samples;

    QRgb at(int x, int y) const
    {
        const qsizetype offset = (qsizetype(y) * width + x) * 3;
        return qRgb(uchar(samples[offset]), uchar(samples[offset + 1]), uchar(samples[offset + 2]));
    }
};

// Parses exactly the header shape that makePPMData writes; anything else is a parse failure.
std::optional<PPM> parse(const QByteArray &bytes)
{
    const QList<QByteArray> parts = bytes.left(64).split('\n');
    if (parts.size() < 4 || parts[0] != "P6" || parts[2] != "255")
        return std::nullopt;
    const QList<QByteArray> size = parts[1].split(' ');
    if (size.size() != 2)
        return std::nullopt;
    PPM ppm{size[0].toInt(), size[1].toInt(), {}};
    const qsizetype headerLength = parts[0].size() + parts[1].size() + parts[2].size() + 3;
    ppm.samples = bytes.mid(headerLength);
    if (ppm.samples.size() != qsizetype(ppm.width) * ppm.height * 3)
        return std::nullopt;
    return ppm;
}

bool near(QRgb actual, QRgb expected, int tolerance)
{
    return std::abs(qRed(actual) - qRed(expected)) <= tolerance &&
           std::abs(qGreen(actual) - qGreen(expected)) <= tolerance &&
           std::abs(qBlue(actual) - qBlue(expected)) <= tolerance;
}

QString describeRgb(QRgb value)
{
    return QStringLiteral("(%1, %2, %3)").arg(qRed(value)).arg(qGreen(value)).arg(qBlue(value));
}

} // namespace

void tst_PPMPreprocessing::makePPMDataBytes_data()
{
    QTest::addColumn<QImage>("image");
    QTest::addColumn<QByteArray>("expected");

    const QByteArray header21("P6\n2 1\n255\n");
    QTest::newRow("2x1 red and blue: 17 bytes") << pixels(QImage::Format_RGB32, 2, {qRgb(255, 0, 0), qRgb(0, 0, 255)})
                                                << header21 + rgb({255, 0, 0, 0, 0, 255});
    QTest::newRow("rows top first, pixels left first")
        << pixels(QImage::Format_RGB32, 2, {qRgb(1, 2, 3), qRgb(4, 5, 6), qRgb(7, 8, 9), qRgb(10, 11, 12)})
        << QByteArray("P6\n2 2\n255\n") + rgb({1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12});
    QTest::newRow("transparent becomes black, half opacity scales the colour")
        << pixels(QImage::Format_ARGB32, 3, {qRgba(255, 0, 0, 0), qRgba(255, 255, 255, 128), qRgba(0, 255, 0, 255)})
        << QByteArray("P6\n3 1\n255\n") + rgb({0, 0, 0, 128, 128, 128, 0, 255, 0});
    QTest::newRow("already premultiplied")
        << pixels(QImage::Format_ARGB32_Premultiplied, 2, {qRgba(0, 0, 0, 0), qRgba(100, 50, 0, 200)})
        << header21 + rgb({0, 0, 0, 100, 50, 0});
    QImage grey(2, 2, QImage::Format_Grayscale8);
    grey.setPixel(0, 0, qRgb(0, 0, 0));
    grey.setPixel(1, 0, qRgb(64, 64, 64));
    grey.setPixel(0, 1, qRgb(128, 128, 128));
    grey.setPixel(1, 1, qRgb(255, 255, 255));
    QTest::newRow("grey gives three equal samples")
        << grey << QByteArray("P6\n2 2\n255\n") + rgb({0, 0, 0, 64, 64, 64, 128, 128, 128, 255, 255, 255});
    QTest::newRow("1x1") << pixels(QImage::Format_RGB888, 1, {qRgb(9, 8, 7)})
                         << QByteArray("P6\n1 1\n255\n") + rgb({9, 8, 7});
}

void tst_PPMPreprocessing::makePPMDataBytes()
{
    QFETCH(QImage, image);
    QFETCH(QByteArray, expected);

    const auto ppm = makePPMData(DecodedImage{image, AlphaInfo::none});
    QVERIFY(ppm);
    QCOMPARE(*ppm, expected);
}

void tst_PPMPreprocessing::headerAndLengthOfALargerPicture()
{
    const QImage image = TestImages::photo(321, 17);
    const auto ppm = makePPMData(DecodedImage{image, AlphaInfo::noneSkipLast});
    QVERIFY(ppm);
    const QByteArray header("P6\n321 17\n255\n");
    QVERIFY(ppm->startsWith(header));
    QCOMPARE(ppm->size(), header.size() + 321 * 17 * 3);
    const auto parsed = parse(*ppm);
    QVERIFY(parsed);
    for (const QPoint point : {QPoint(0, 0), QPoint(320, 0), QPoint(0, 16), QPoint(160, 8), QPoint(320, 16)})
        QCOMPARE(parsed->at(point.x(), point.y()), image.pixel(point) | 0xff000000u);
}

void tst_PPMPreprocessing::sameBytesWhateverThePixelLayout_data()
{
    QTest::addColumn<QImage>("image");
    QTest::addColumn<QImage::Format>("otherFormat");

    const QImage photo = TestImages::photo(203, 77, 3);
    const QImage graphic = TestImages::transparentGraphic(150, 90);
    QTest::newRow("photo, RGB32 and RGBX8888") << photo << QImage::Format_RGBX8888;
    QTest::newRow("photo, RGB32 and RGB888") << photo << QImage::Format_RGB888;
    QTest::newRow("graphic, ARGB32 and premultiplied ARGB32") << graphic << QImage::Format_ARGB32_Premultiplied;
    QTest::newRow("graphic, ARGB32 and RGBA8888") << graphic << QImage::Format_RGBA8888;
}

void tst_PPMPreprocessing::sameBytesWhateverThePixelLayout()
{
    QFETCH(QImage, image);
    QFETCH(QImage::Format, otherFormat);

    const auto ppm = makePPMData(DecodedImage{image, AlphaInfo::none});
    const auto other = makePPMData(DecodedImage{image.convertToFormat(otherFormat), AlphaInfo::none});
    QVERIFY(ppm && other);
    QCOMPARE(ppm->size(), other->size());
    QVERIFY(*ppm == *other);
}

void tst_PPMPreprocessing::convertsTaggedPixelsToSRGB()
{
    QImage image = pixels(QImage::Format_RGB32, 2, {qRgb(200, 100, 50), qRgb(20, 180, 90)});
    image.setColorSpace(QColorSpace(QColorSpace::DisplayP3));
    const QColorTransform toSRGB = QColorSpace(QColorSpace::DisplayP3).transformationToColorSpace(QColorSpace::SRgb);

    const auto ppm = makePPMData(DecodedImage{image, AlphaInfo::noneSkipLast});
    QVERIFY(ppm);
    const auto parsed = parse(*ppm);
    QVERIFY(parsed);
    for (int x = 0; x < 2; ++x) {
        const QRgb expected = toSRGB.map(image.pixel(x, 0));
        QVERIFY2(near(parsed->at(x, 0), expected, 1),
                 qPrintable(describeRgb(parsed->at(x, 0)) + QStringLiteral(" vs ") + describeRgb(expected)));
        QVERIFY(parsed->at(x, 0) != (image.pixel(x, 0) | 0xff000000u));
    }
}

void tst_PPMPreprocessing::nullImageGivesNothing()
{
    QVERIFY(!makePPMData(DecodedImage{QImage(), AlphaInfo::none}));
}

void tst_PPMPreprocessing::writePPMFromFiles_data()
{
    QTest::addColumn<QString>("kind");
    QTest::newRow("PNG 2x1 red and blue") << QStringLiteral("redblue");
    QTest::newRow("grey JPEG") << QStringLiteral("grey");
    QTest::newRow("PNG with transparent corners") << QStringLiteral("transparent");
}

void tst_PPMPreprocessing::writePPMFromFiles()
{
    QFETCH(QString, kind);

    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString ppmPath = dir.filePath(QStringLiteral("out.ppm"));
    QString sourcePath;
    if (kind == u"redblue") {
        sourcePath = dir.filePath(QStringLiteral("redblue.png"));
        TestImages::write(pixels(QImage::Format_RGB32, 2, {qRgb(255, 0, 0), qRgb(0, 0, 255)}), sourcePath, "png");
    } else if (kind == u"grey") {
        sourcePath = dir.filePath(QStringLiteral("grey.jpg"));
        TestImages::write(TestImages::photo(40, 30).convertToFormat(QImage::Format_Grayscale8), sourcePath, "jpeg", 90);
    } else {
        sourcePath = dir.filePath(QStringLiteral("transparent.png"));
        TestImages::write(TestImages::transparentGraphic(64, 48), sourcePath, "png");
    }
    const QByteArray sourceHash = TestImages::sha256(sourcePath);

    const auto written = writePPM(QUrl::fromLocalFile(sourcePath), QUrl::fromLocalFile(ppmPath));
    QVERIFY2(written, qPrintable(written ? QString() : written.error().localizedDescription()));
    QCOMPARE(TestImages::sha256(sourcePath), sourceHash);
    const QByteArray bytes = readFile(ppmPath);
    const auto ppm = parse(bytes);
    QVERIFY(ppm);

    if (kind == u"redblue") {
        QCOMPARE(bytes, QByteArray("P6\n2 1\n255\n") + rgb({255, 0, 0, 0, 0, 255}));
    } else if (kind == u"grey") {
        QCOMPARE(ppm->width, 40);
        QCOMPARE(ppm->height, 30);
        for (int y = 0; y < ppm->height; ++y) {
            for (int x = 0; x < ppm->width; ++x) {
                const QRgb value = ppm->at(x, y);
                QVERIFY(qRed(value) == qGreen(value) && qGreen(value) == qBlue(value));
            }
        }
    } else {
        for (const QPoint corner : {QPoint(0, 0), QPoint(63, 0), QPoint(0, 47), QPoint(63, 47)})
            QCOMPARE(ppm->at(corner.x(), corner.y()), qRgb(0, 0, 0));
        QVERIFY(near(ppm->at(32, 24), qRgb(230, 120, 30), 1));
    }
    QCOMPARE(entryNames(dir.path()).size(), 2); // the source and the picture, no leftovers
}

void tst_PPMPreprocessing::appliesOrientation_data()
{
    QTest::addColumn<int>("orientation");
    QTest::addColumn<QSize>("size");
    QTest::addColumn<QRgb>("topLeft");
    QTest::addColumn<QRgb>("bottomRight");

    const QRgb red = qRgb(255, 0, 0);
    const QRgb blue = qRgb(0, 0, 255);
    // Stored: 32x16, left half red, right half blue.
    QTest::newRow("1, upright") << 1 << QSize(32, 16) << red << blue;
    QTest::newRow("3, turned 180") << 3 << QSize(32, 16) << blue << red;
    QTest::newRow("6, turned 90 clockwise") << 6 << QSize(16, 32) << red << blue;
    QTest::newRow("8, turned 90 counter-clockwise") << 8 << QSize(16, 32) << blue << red;
}

void tst_PPMPreprocessing::appliesOrientation()
{
    QFETCH(int, orientation);
    QFETCH(QSize, size);
    QFETCH(QRgb, topLeft);
    QFETCH(QRgb, bottomRight);

    QImage stored(32, 16, QImage::Format_RGB32);
    stored.fill(qRgb(0, 0, 255));
    for (int y = 0; y < 16; ++y) {
        for (int x = 0; x < 16; ++x)
            stored.setPixel(x, y, qRgb(255, 0, 0));
    }
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString sourcePath = dir.filePath(QStringLiteral("turned.jpg"));
    writeFile(sourcePath, jpegWithOrientation(stored, orientation));
    const QString ppmPath = dir.filePath(QStringLiteral("turned.ppm"));

    QVERIFY(writePPM(QUrl::fromLocalFile(sourcePath), QUrl::fromLocalFile(ppmPath)));
    const auto ppm = parse(readFile(ppmPath));
    QVERIFY(ppm);
    QCOMPARE(QSize(ppm->width, ppm->height), size);
    QVERIFY2(near(ppm->at(2, 2), topLeft, 40), qPrintable(describeRgb(ppm->at(2, 2))));
    QVERIFY2(near(ppm->at(ppm->width - 3, ppm->height - 3), bottomRight, 40),
             qPrintable(describeRgb(ppm->at(ppm->width - 3, ppm->height - 3))));
}

void tst_PPMPreprocessing::convertsCMYKJPEG()
{
    const QString convert = QStandardPaths::findExecutable(QStringLiteral("convert"));
    if (convert.isEmpty())
        QSKIP("ImageMagick's convert is not installed");
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString rgbPath = dir.filePath(QStringLiteral("rgb.png"));
    QImage image(24, 8, QImage::Format_RGB32);
    image.fill(qRgb(220, 40, 30));
    TestImages::write(image, rgbPath, "png");
    const QString cmykPath = dir.filePath(QStringLiteral("cmyk.jpg"));
    QCOMPARE(QProcess::execute(convert, {rgbPath, QStringLiteral("-colorspace"), QStringLiteral("CMYK"),
                                         QStringLiteral("-quality"), QStringLiteral("95"), cmykPath}),
             0);
    QVERIFY(readFile(cmykPath).contains("Adobe"));

    const QString ppmPath = dir.filePath(QStringLiteral("cmyk.ppm"));
    const auto written = writePPM(QUrl::fromLocalFile(cmykPath), QUrl::fromLocalFile(ppmPath));
    QVERIFY2(written, qPrintable(written ? QString() : written.error().localizedDescription()));
    const auto ppm = parse(readFile(ppmPath));
    QVERIFY(ppm);
    QCOMPARE(QSize(ppm->width, ppm->height), QSize(24, 8));
    QVERIFY2(near(ppm->at(12, 4), qRgb(220, 40, 30), 24), qPrintable(describeRgb(ppm->at(12, 4))));
}

void tst_PPMPreprocessing::writePPMFailures_data()
{
    QTest::addColumn<QString>("source");   // "missing", "garbage" or "photo"
    QTest::addColumn<QString>("ppmPlace"); // relative to the temporary folder
    QTest::addColumn<QString>("expected"); // the whole message, or a prefix ending in "："

    QTest::newRow("missing source") << QStringLiteral("missing") << QStringLiteral("out.ppm")
                                    << QStringLiteral("图片读取失败");
    QTest::newRow("JPEG header, no picture")
        << QStringLiteral("garbage") << QStringLiteral("out.ppm") << QStringLiteral("无法解码图片内容");
    QTest::newRow("folder below a regular file")
        << QStringLiteral("photo") << QStringLiteral("plain/sub/out.ppm") << QStringLiteral("mozjpeg 输入预处理失败：");
    QTest::newRow("folder that does not exist")
        << QStringLiteral("photo") << QStringLiteral("absent/out.ppm") << QStringLiteral("mozjpeg 输入预处理失败：");
    QTest::newRow("a folder stands at the picture's name")
        << QStringLiteral("photo") << QStringLiteral("taken.ppm") << QStringLiteral("mozjpeg 输入预处理失败：");
}

void tst_PPMPreprocessing::writePPMFailures()
{
    QFETCH(QString, source);
    QFETCH(QString, ppmPlace);
    QFETCH(QString, expected);

    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    writeFile(dir.filePath(QStringLiteral("plain")), "not a folder");
    QVERIFY(QDir().mkpath(dir.filePath(QStringLiteral("taken.ppm"))));
    const QString sourcePath = dir.filePath(QStringLiteral("source.jpg"));
    if (source == u"garbage")
        writeFile(sourcePath, QByteArray("\xFF\xD8\xFF\xE0", 4) + QByteArray(200, 'x'));
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
    QVERIFY(QFileInfo(dir.filePath(QStringLiteral("taken.ppm"))).isDir());
}

void tst_PPMPreprocessing::writePPMReplacesWholeFile()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString sourcePath = dir.filePath(QStringLiteral("small.png"));
    TestImages::write(pixels(QImage::Format_RGB32, 1, {qRgb(1, 2, 3)}), sourcePath, "png");
    const QString ppmPath = dir.filePath(QStringLiteral("stale.ppm"));
    writeFile(ppmPath, QByteArray(4096, 'z'));

    QVERIFY(writePPM(QUrl::fromLocalFile(sourcePath), QUrl::fromLocalFile(ppmPath)));
    QCOMPARE(readFile(ppmPath), QByteArray("P6\n1 1\n255\n") + rgb({1, 2, 3}));
    QCOMPARE(entryNames(dir.path()), (QStringList{QStringLiteral("small.png"), QStringLiteral("stale.ppm")}));
}

QTEST_GUILESS_MAIN(tst_PPMPreprocessing)
#include "tst_ppmpreprocessing.moc"
