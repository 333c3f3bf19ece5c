// The codec layer: upright pixels, colour brought to sRGB, pictures too large to hold refused from their header, non-files refused at once,
// lossless 16-bit levels, metadata left behind, and outputs that appear only when complete.

#include "CodecFixtures.h"
#include "ImageCodec.h"
#include "TestImages.h"

#include <QColorSpace>
#include <QDir>
#include <QImageReader>
#include <QTemporaryDir>
#include <QTest>

#include <cstdio>
#include <functional>
#include <vector>

#include <jpeglib.h>
#include <lcms2.h>
#include <sys/stat.h>

using namespace Qt::StringLiterals;
using namespace CodecFixtures;

namespace {

// Where the pixel at (x, y) of a stored picture of width w and height h appears once EXIF
// orientation `o` is applied, written out from the EXIF table rather than from any image API.
QPoint displayedPosition(int o, int x, int y, int w, int h)
{
    switch (o) {
    case 2: return {w - 1 - x, y};
    case 3: return {w - 1 - x, h - 1 - y};
    case 4: return {x, h - 1 - y};
    case 5: return {y, x};
    case 6: return {h - 1 - y, x};
    case 7: return {h - 1 - y, w - 1 - x};
    case 8: return {y, w - 1 - x};
    default: return {x, y};
    }
}

QImage displayed(const QImage &stored, int orientation)
{
    const QImage source = stored.convertToFormat(QImage::Format_RGB32);
    const bool swaps = orientation >= 5;
    QImage result(swaps ? source.height() : source.width(), swaps ? source.width() : source.height(),
                  QImage::Format_RGB32);
    for (int y = 0; y < source.height(); ++y) {
        for (int x = 0; x < source.width(); ++x)
            result.setPixel(displayedPosition(orientation, x, y, source.width(), source.height()), source.pixel(x, y));
    }
    return result;
}

QImage blocks(const QList<QRgb> &colours, int blockSize = 16)
{
    QImage image(blockSize * int(colours.size()), blockSize, QImage::Format_RGB32);
    for (int index = 0; index < colours.size(); ++index) {
        for (int y = 0; y < blockSize; ++y) {
            for (int x = 0; x < blockSize; ++x)
                image.setPixel(index * blockSize + x, y, colours[index]);
        }
    }
    return image;
}

QByteArray saveProfile(cmsHPROFILE profile)
{
    cmsUInt32Number size = 0;
    cmsSaveProfileToMem(profile, nullptr, &size);
    QByteArray bytes(qsizetype(size), '\0');
    cmsSaveProfileToMem(profile, bytes.data(), &size);
    cmsCloseProfile(profile);
    return bytes;
}

QByteArray linearGreyProfile()
{
    cmsToneCurve *linear = cmsBuildGamma(nullptr, 1.0);
    const QByteArray profile = saveProfile(cmsCreateGrayProfile(cmsD50_xyY(), linear));
    cmsFreeToneCurve(linear);
    return profile;
}

// A CMYK printer's profile that reads its inks in an order no naive formula would guess:
// cyan ink makes yellow, magenta ink cyan and yellow ink magenta.
struct InkModel {
    static QRgb colour(double c, double m, double y, double k)
    {
        const auto level = [&](double ink) { return qRound(255.0 * (1.0 - ink) * (1.0 - k)); };
        return qRgb(level(m), level(y), level(c));
    }
};

cmsInt32Number sampleInks(const cmsUInt16Number in[], cmsUInt16Number out[], void *toLab)
{
    const QRgb rgb = InkModel::colour(in[0] / 65535.0, in[1] / 65535.0, in[2] / 65535.0, in[3] / 65535.0);
    const double pixel[3] = {qRed(rgb) / 255.0, qGreen(rgb) / 255.0, qBlue(rgb) / 255.0};
    cmsCIELab lab;
    cmsDoTransform(static_cast<cmsHTRANSFORM>(toLab), pixel, &lab, 1);
    cmsFloat2LabEncoded(out, &lab);
    return TRUE;
}

QByteArray inkModelProfile()
{
    cmsHPROFILE sRGB = cmsCreate_sRGBProfile();
    cmsHPROFILE lab = cmsCreateLab4Profile(nullptr);
    cmsHTRANSFORM toLab = cmsCreateTransform(sRGB, TYPE_RGB_DBL, lab, TYPE_Lab_DBL, INTENT_RELATIVE_COLORIMETRIC, 0);

    cmsHPROFILE profile = cmsCreateProfilePlaceholder(nullptr);
    cmsSetProfileVersion(profile, 4.3);
    cmsSetDeviceClass(profile, cmsSigOutputClass);
    cmsSetColorSpace(profile, cmsSigCmykData);
    cmsSetPCS(profile, cmsSigLabData);
    cmsPipeline *pipeline = cmsPipelineAlloc(nullptr, 4, 3);
    cmsStage *grid = cmsStageAllocCLut16bit(nullptr, 9, 4, 3, nullptr);
    cmsStageSampleCLut16bit(grid, sampleInks, toLab, 0);
    // The ICC's A-to-B form wants curves around the grid; identity ones change nothing.
    cmsPipelineInsertStage(pipeline, cmsAT_END, cmsStageAllocToneCurves(nullptr, 4, nullptr));
    cmsPipelineInsertStage(pipeline, cmsAT_END, grid);
    cmsPipelineInsertStage(pipeline, cmsAT_END, cmsStageAllocToneCurves(nullptr, 3, nullptr));
    cmsWriteTag(profile, cmsSigAToB0Tag, pipeline);
    cmsWriteTag(profile, cmsSigMediaWhitePointTag, cmsD50_XYZ());
    cmsPipelineFree(pipeline);

    cmsDeleteTransform(toLab);
    cmsCloseProfile(lab);
    cmsCloseProfile(sRGB);
    return saveProfile(profile);
}

struct Ink {
    double c, m, y, k;
};

// A CMYK JPEG as Adobe's writers make it: inverted samples, an APP14 marker, the profile in APP2.
QByteArray cmykJPEG(const QList<Ink> &inks, const QByteArray &iccProfile, int blockSize = 16)
{
    jpeg_compress_struct info{};
    jpeg_error_mgr error{};
    info.err = jpeg_std_error(&error);
    jpeg_create_compress(&info);
    unsigned char *buffer = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&info, &buffer, &size);
    info.image_width = JDIMENSION(blockSize * inks.size());
    info.image_height = JDIMENSION(blockSize);
    info.input_components = 4;
    info.in_color_space = JCS_CMYK;
    jpeg_set_defaults(&info);
    jpeg_set_quality(&info, 100, TRUE);
    jpeg_start_compress(&info, TRUE);
    const auto *profileData = reinterpret_cast<const JOCTET *>(iccProfile.constData());
    jpeg_write_icc_profile(&info, profileData, unsigned(iccProfile.size()));
    std::vector<JSAMPLE> row(info.image_width * 4);
    for (qsizetype x = 0; x < qsizetype(info.image_width); ++x) {
        const Ink &ink = inks[x / blockSize];
        const double channels[4] = {ink.c, ink.m, ink.y, ink.k};
        for (int channel = 0; channel < 4; ++channel)
            row[size_t(x * 4 + channel)] = JSAMPLE(255 - qRound(channels[channel] * 255.0));
    }
    while (info.next_scanline < info.image_height) {
        JSAMPROW rows[1] = {row.data()};
        jpeg_write_scanlines(&info, rows, 1);
    }
    jpeg_finish_compress(&info);
    jpeg_destroy_compress(&info);
    const QByteArray bytes(reinterpret_cast<const char *>(buffer), qsizetype(size));
    std::free(buffer);
    return bytes;
}

// The colour the decoder must give, figured without the library under test.
QImage expectedInks(const QList<Ink> &inks, int blockSize = 16)
{
    QList<QRgb> colours;
    for (const Ink &ink : inks)
        colours.append(InkModel::colour(ink.c, ink.m, ink.y, ink.k));
    return blocks(colours, blockSize);
}

double sRGBEncoded(double linear)
{
    return linear <= 0.0031308 ? 12.92 * linear : 1.055 * std::pow(linear, 1.0 / 2.4) - 0.055;
}

std::optional<DecodedImage> decodeFile(const QString &path)
{
    const auto source = ImageSource::create(QUrl::fromLocalFile(path));
    if (!source)
        return std::nullopt;
    return source->createImageAtIndex0();
}

} // namespace

class ImageCodecTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();

    void appliesEXIFOrientation_data();
    void appliesEXIFOrientation();
    void convertsEmbeddedProfilesToSRGB_data();
    void convertsEmbeddedProfilesToSRGB();
    void refusesPicturesTooLargeToHold_data();
    void refusesPicturesTooLargeToHold();
    void decodesTheLargestAcceptedPicture();
    void refusesWhatIsNotARegularFile_data();
    void refusesWhatIsNotARegularFile();
    void keepsSixteenBitLevels();
    void leavesMetadataBehind();
    void rendersPremultipliedRGBA();
    void destinationAppearsOnlyWhenComplete();

private:
    QString path(const QString &name) const { return QDir(m_dir.path()).filePath(name); }

    QTemporaryDir m_dir;
    std::optional<QByteArray> m_heic;
};

void ImageCodecTest::initTestCase()
{
    QVERIFY(m_dir.isValid());
    m_heic = encodeHEIC(TestImages::photo(64, 48), m_dir.path());
}

void ImageCodecTest::appliesEXIFOrientation_data()
{
    QTest::addColumn<int>("orientation");
    for (int orientation = 1; orientation <= 8; ++orientation)
        QTest::addRow("orientation %d", orientation) << orientation;
}

void ImageCodecTest::appliesEXIFOrientation()
{
    QFETCH(int, orientation);

    // Four coloured quarters of a wide picture: any wrong turn or mirror moves one of them.
    const QImage stored = blocks({qRgb(220, 30, 30), qRgb(30, 200, 40), qRgb(40, 60, 220), qRgb(240, 220, 40)});
    const QByteArray jpeg = insertJPEGSegment(encode(stored, "jpeg", 95), 0xE1, exifPayload(orientation));
    QVERIFY(writeFile(path(u"oriented.jpg"_s), jpeg));

    QImageReader storedReader(path(u"oriented.jpg"_s));
    storedReader.setAutoTransform(false);
    const QImage storedPixels = storedReader.read();
    QVERIFY(!storedPixels.isNull());

    const auto image = decodeFile(path(u"oriented.jpg"_s));
    QVERIFY(image);
    QCOMPARE(image->image.convertToFormat(QImage::Format_RGB32), displayed(storedPixels, orientation));
}

void ImageCodecTest::convertsEmbeddedProfilesToSRGB_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QImage>("expected");
    QTest::addColumn<double>("errorWithoutConversion");

    // Colours well inside sRGB, so that conversion never clips them.
    const QImage picture = blocks({qRgb(200, 120, 80), qRgb(60, 150, 200), qRgb(120, 200, 90), qRgb(230, 200, 90)});
    // Qt's own colour transform is the reference: an implementation independent of the one used.
    const auto viaQt = [](const QByteArray &bytes) {
        QImage image = QImage::fromData(bytes);
        return std::pair{image.convertedToColorSpace(QColorSpace::SRgb), image};
    };
    for (const auto &[name, space] : {std::pair{"Display P3", QColorSpace::DisplayP3},
                                      std::pair{"Adobe RGB", QColorSpace::AdobeRgb}}) {
        QImage tagged = picture;
        tagged.setColorSpace(space);
        for (const char *format : {"jpeg", "png"}) {
            const QByteArray bytes = encode(tagged, format, 100);
            const auto [expected, untouched] = viaQt(bytes);
            QTest::addRow("%s %s", name, format)
                << bytes << expected << TestImages::meanColourError(untouched, expected);
        }
    }

    QImage grey(64, 16, QImage::Format_Grayscale8);
    QImage expectedGrey(64, 16, QImage::Format_Grayscale8);
    for (int y = 0; y < 16; ++y) {
        for (int x = 0; x < 64; ++x) {
            const int level = x * 4;
            grey.scanLine(y)[x] = uchar(level);
            expectedGrey.scanLine(y)[x] = uchar(qRound(255.0 * sRGBEncoded(level / 255.0)));
        }
    }
    const QByteArray greyPNG = insertPNGChunk(encode(grey, "png"), "iCCP", pngICCPData(linearGreyProfile()));
    QTest::newRow("linear grey png") << greyPNG << expectedGrey << TestImages::meanColourError(grey, expectedGrey);
    const QByteArray greyJPEG = withJPEGICCProfile(encode(grey, "jpeg", 100), linearGreyProfile());
    QTest::newRow("linear grey jpeg") << greyJPEG << expectedGrey << TestImages::meanColourError(grey, expectedGrey);

    const QList<Ink> inks{{1, 0, 0, 0}, {0, 1, 0, 0}, {0, 0, 1, 0}, {0, 0, 0, 0.5}, {0.5, 0.25, 0, 0}};
    const QByteArray cmyk = cmykJPEG(inks, inkModelProfile());
    QTest::newRow("cmyk jpeg with its profile")
        << cmyk << expectedInks(inks) << TestImages::meanColourError(QImage::fromData(cmyk), expectedInks(inks));
    const QByteArray orientedCMYK = insertJPEGSegment(cmyk, 0xE1, exifPayload(6));
    QTest::newRow("oriented cmyk jpeg") << orientedCMYK << displayed(expectedInks(inks), 6) << 255.0;
}

void ImageCodecTest::convertsEmbeddedProfilesToSRGB()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QImage, expected);
    QFETCH(double, errorWithoutConversion);

    QVERIFY2(errorWithoutConversion > 4.0, "the fixture must tell a converted picture from an unconverted one");
    QVERIFY(writeFile(path(u"profiled"_s), bytes));
    const auto image = decodeFile(path(u"profiled"_s));
    QVERIFY(image);
    QVERIFY2(!image->image.colorSpace().isValid(), "decoded pixels are sRGB and carry no tag");
    QCOMPARE(image->image.size(), expected.size());
    const double error = TestImages::meanColourError(image->image, expected);
    QVERIFY2(error < 2.0, qPrintable(u"mean colour error %1"_s.arg(error)));
}

void ImageCodecTest::refusesPicturesTooLargeToHold_data()
{
    QTest::addColumn<QByteArray>("bytes");

    QTest::newRow("png bomb, 60000 x 60000") << pngBomb(60000, 60000);
    QTest::newRow("png bomb, header only") << pngBomb(60000, 60000, true);
    QTest::newRow("png one column over the limit") << pngBomb(16385, 16384);
    QByteArray jpeg = encode(TestImages::photo(64, 48), "jpeg");
    const qsizetype frame = jpeg.indexOf("\xFF\xC0");
    QVERIFY(frame > 0);
    jpeg.replace(frame + 5, 4, QByteArray("\xFD\xE8\xFD\xE8", 4)); // 65000 x 65000
    QTest::newRow("jpeg claiming 65000 x 65000") << jpeg;
    if (m_heic)
        QTest::newRow("heic claiming 20000 x 20000") << withClaimedSize(*m_heic, 20000, 20000);
}

void ImageCodecTest::refusesPicturesTooLargeToHold()
{
    QFETCH(QByteArray, bytes);

    QVERIFY(writeFile(path(u"huge"_s), bytes));
    const auto source = ImageSource::create(QUrl::fromLocalFile(path(u"huge"_s)));
    QVERIFY(source);
    QVERIFY(!source->createImageAtIndex0());
}

void ImageCodecTest::decodesTheLargestAcceptedPicture()
{
    QVERIFY(writeFile(path(u"largest.png"_s), pngBomb(16384, 16384)));
    const auto image = decodeFile(path(u"largest.png"_s));
    QVERIFY(image);
    QCOMPARE(image->image.size(), QSize(16384, 16384));
}

void ImageCodecTest::refusesWhatIsNotARegularFile_data()
{
    QTest::addColumn<QString>("kind");

    QTest::newRow("folder") << "folder";
    // A FIFO with no writer blocks whoever opens it for reading; a hang fails by the timeout.
    QTest::newRow("fifo") << "fifo";
    QTest::newRow("/dev/null") << "/dev/null";
    QTest::newRow("/dev/zero") << "/dev/zero";
    QTest::newRow("empty file") << "empty";
    QTest::newRow("missing") << "missing";
    QTest::newRow("not a local file") << "remote";
}

void ImageCodecTest::refusesWhatIsNotARegularFile()
{
    QFETCH(QString, kind);

    QTemporaryDir dir;
    QString location = dir.filePath(u"item.jpg"_s);
    if (kind == u"folder")
        QVERIFY(QDir(dir.path()).mkdir(u"item.jpg"_s));
    else if (kind == u"fifo")
        QCOMPARE(::mkfifo(QFile::encodeName(location).constData(), 0600), 0);
    else if (kind == u"empty")
        QVERIFY(writeFile(location, {}));
    else if (kind.startsWith(u'/'))
        location = kind;
    const QUrl url = kind == u"remote" ? QUrl(u"https://example.com/photo.jpg"_s) : QUrl::fromLocalFile(location);
    QVERIFY(!ImageSource::create(url));
}

void ImageCodecTest::keepsSixteenBitLevels()
{
    QImage deep(48, 32, QImage::Format_RGBA64);
    for (int y = 0; y < deep.height(); ++y) {
        for (int x = 0; x < deep.width(); ++x)
            deep.setPixelColor(x, y, QColor::fromRgba64(quint16(x * 1361 + 7), quint16(y * 2039 + 3),
                                                        quint16((x * y * 97) % 65536), quint16(65535 - x * 11)));
    }
    QVERIFY(writeFile(path(u"deep.png"_s), encode(deep, "png")));
    const auto image = decodeFile(path(u"deep.png"_s));
    QVERIFY(image);
    QCOMPARE(image->image.depth(), 64);
    QCOMPARE(image->image.convertToFormat(QImage::Format_RGBA64), deep);
}

void ImageCodecTest::leavesMetadataBehind()
{
    const QImage photo = TestImages::photo(32, 32);
    QByteArray jpeg = insertJPEGSegment(encode(photo, "jpeg"), 0xFE, "secret comment");
    jpeg = insertJPEGSegment(jpeg, 0xE1, exifPayload(1, "GPS 47.37N 8.54E"));
    QImage tagged = photo;
    tagged.setText(u"Comment"_s, u"secret text"_s);
    tagged.setColorSpace(QColorSpace::SRgb);
    for (const auto &[name, bytes] : {std::pair{u"m.jpg"_s, jpeg}, std::pair{u"m.png"_s, encode(tagged, "png")}}) {
        QVERIFY(!QImage::fromData(bytes).textKeys().isEmpty()); // Qt reads them, and would write them out
        QVERIFY(writeFile(path(name), bytes));
        const auto image = decodeFile(path(name));
        QVERIFY(image);
        QVERIFY(image->image.textKeys().isEmpty());
        QVERIFY(!image->image.colorSpace().isValid());
    }
}

void ImageCodecTest::rendersPremultipliedRGBA()
{
    QImage translucent(8, 4, QImage::Format_ARGB32);
    translucent.fill(qRgba(200, 100, 50, 128));
    QVERIFY(writeFile(path(u"translucent.png"_s), encode(translucent, "png")));
    const auto image = decodeFile(path(u"translucent.png"_s));
    QVERIFY(image);
    const auto rendered = renderSRGBPremultipliedRGBA(*image);
    QVERIFY(rendered);
    QCOMPARE(rendered->format(), QImage::Format_RGBA8888_Premultiplied);
    QCOMPARE(rendered->bytesPerLine(), 8 * 4);
    const uchar *pixel = rendered->constScanLine(2) + 4 * 3;
    QCOMPARE(int(pixel[3]), 128);
    QVERIFY(qAbs(int(pixel[0]) - 100) <= 1); // 200 * 128 / 255
    QVERIFY(qAbs(int(pixel[1]) - 50) <= 1);
    QVERIFY(qAbs(int(pixel[2]) - 25) <= 1);
}

void ImageCodecTest::destinationAppearsOnlyWhenComplete()
{
    QTemporaryDir dir;
    const QUrl output = QUrl::fromLocalFile(dir.filePath(u"out.jpg"_s));
    QVERIFY(writeFile(dir.filePath(u"in.png"_s), encode(TestImages::photo(32, 32), "png")));
    const auto image = decodeFile(dir.filePath(u"in.png"_s));
    QVERIFY(image);
    {
        auto abandoned = ImageDestination::create(output, u"public.jpeg"_s);
        QVERIFY(abandoned);
        abandoned->addImage(*image, 0.75);
        QVERIFY(!QFileInfo::exists(output.toLocalFile()));
    }
    QCOMPARE(entryNames(dir.path()), QStringList{u"in.png"_s});

    auto empty = ImageDestination::create(output, u"public.png"_s);
    QVERIFY(empty);
    QVERIFY(!empty->finalize());
    QCOMPARE(entryNames(dir.path()), QStringList{u"in.png"_s});

    auto complete = ImageDestination::create(output, u"public.jpeg"_s);
    QVERIFY(complete);
    complete->addImage(*image, 0.75);
    QVERIFY(complete->finalize());
    QCOMPARE(entryNames(dir.path()), (QStringList{u"in.png"_s, u"out.jpg"_s}));
    QCOMPARE(QImage(output.toLocalFile()).size(), QSize(32, 32));
}

QTEST_GUILESS_MAIN(ImageCodecTest)
#include "tst_imagecodec.moc"
