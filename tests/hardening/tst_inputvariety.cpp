// Every kind of JPEG and PNG that cameras, phones, scanners and design tools write, and damaged
// copies of each, through the real pipeline on both roads: the build tree's mozjpeg cjpeg and
// pngquant, and the in-process encoders of a bundle without tools. A valid picture ends success
// or skipped, and its output shows the same picture the same way up as a colour-managed viewer
// shows the source; a damaged one fails with a read or decode message or gives an output that
// decodes. After every row the source is byte-identical, the folder holds only the source and
// the row's output, and the private temporary folder is empty.

#include "HardeningSupport.h"
#include "InputFixtures.h"
#include "LogCapture.h"
#include "TestFiles.h"
#include "TestImages.h"

#include <QBuffer>
#include <QColorSpace>
#include <QDir>
#include <QFile>
#include <QImageReader>
#include <QTest>
#include <QtEndian>

#include <cmath>

using namespace Qt::StringLiterals;
using namespace Hardening;
using namespace InputFixtures;

Q_DECLARE_METATYPE(Hardening::Road)

namespace {

constexpr int sceneWidth = 96;
constexpr int sceneHeight = 64;
// Lossy outputs are compared by the mean colours of cells of this size.
constexpr int lossyCell = 8;

const QString readFailed = u"图片读取失败"_s;
const QString decodeFailed = u"无法解码图片内容"_s;
const QString notSmaller = u"压缩后体积未变小，已保留原图"_s;
const QString heifSkipped = u"当前阶段暂不处理 HEIC / HEIF"_s;
const QString tiffSkipped = u"当前阶段暂不处理 TIFF"_s;

// One source file and what must become of it.
struct Fixture {
    QString fileName;
    QByteArray bytes;
    QByteArray format; // "jpeg", "png", "heic", "tiff"
    // The picture the source was made to show, upright and in sRGB; null for rows that end
    // without an output.
    QImage intended;
    // What a colour-managed viewer shows for the source: Qt's decode, turned upright and brought
    // to sRGB by Qt's own colour transforms. Where Qt cannot manage the colour (CMYK with a
    // profile), the intended picture.
    QImage reference;
    bool referenceIsIntended = false;
    CompressionResultStatus status = CompressionResultStatus::success;
    QString message; // for rows that end skipped or failed
    // Largest mean difference between the output and the reference: of cells for the lossy
    // encoders (every JPEG, and pngquant), of pixels for the lossless PNG encoder.
    double lossyTolerance = 2.5;
    double losslessTolerance = 1.0;
    // How far a viewer that ignored the source's profile or gamma would be off: a fixture
    // that carries colour information must make ignoring it show.
    std::optional<double> unmanagedDifference;
    // The external tool is not given this source and the in-process encoder writes the output:
    // pngquant drops ICC profiles without converting the pixels.
    bool toolDeclines = false;
};

Fixture fixtureOf(const QString &fileName, const QByteArray &bytes, const QByteArray &format, const QImage &intended)
{
    Fixture fixture;
    fixture.fileName = fileName;
    fixture.bytes = bytes;
    fixture.format = format;
    fixture.intended = intended;
    return fixture;
}

QByteArray rgbBytes(QRgb colour)
{
    QByteArray bytes;
    bytes += char(qRed(colour));
    bytes += char(qGreen(colour));
    bytes += char(qBlue(colour));
    return bytes;
}

QString roadName(Road road)
{
    return road == Road::tools ? u"tools"_s : u"fallback"_s;
}

quint16 greyLevel(const QImage &grey, int x, int y, int depth)
{
    const int level = qRed(grey.pixel(x, y));
    if (depth == 16)
        return quint16(std::clamp(level * 257 + (x * 37 + y * 11) % 129 - 64, 0, 65535));
    return quint16(qRound(level * ((1 << depth) - 1) / 255.0));
}

int toEight(int value, int depth)
{
    return depth == 16 ? qRound(value / 257.0) : qRound(value * 255.0 / ((1 << depth) - 1));
}

quint16 wide(int value, int x, int y)
{
    // Sixteen-bit samples that use their low byte, not just 8-bit values stretched.
    return quint16(std::clamp(value * 257 + (x * 13 + y * 29) % 101 - 50, 0, 65535));
}

// The picture a PNG's samples describe, drawn at 8 bits per channel.
QImage pictureOf(const PNGLayout &layout, const SampleAt &sample, const QList<QRgb> &palette = {})
{
    QImage image(sceneWidth, sceneHeight, QImage::Format_ARGB32);
    const int depth = layout.bitDepth;
    for (int y = 0; y < sceneHeight; ++y) {
        for (int x = 0; x < sceneWidth; ++x) {
            const auto at = [&](int channel) {
                return toEight(sample(x, y, channel), depth);
            };
            QRgb pixel = 0;
            switch (layout.colourType) {
            case 0:
                pixel = qRgb(at(0), at(0), at(0));
                break;
            case 2:
                pixel = qRgb(at(0), at(1), at(2));
                break;
            case 3:
                pixel = palette[sample(x, y, 0)];
                break;
            case 4:
                pixel = qRgba(at(0), at(0), at(0), at(1));
                break;
            default:
                pixel = qRgba(at(0), at(1), at(2), at(3));
                break;
            }
            image.setPixel(x, y, pixel);
        }
    }
    return image;
}

QByteArray be32(quint32 value)
{
    QByteArray bytes(4, '\0');
    qToBigEndian(value, bytes.data());
    return bytes;
}

QByteArray be16(quint16 value)
{
    QByteArray bytes(2, '\0');
    qToBigEndian(value, bytes.data());
    return bytes;
}

QByteArray frameControl(quint32 sequence)
{
    return pngChunk("fcTL", be32(sequence) + be32(sceneWidth) + be32(sceneHeight) + be32(0) + be32(0) + be16(1) +
                                be16(10) + QByteArray(2, '\0'));
}

double srgbToLinear(double value)
{
    return value <= 0.04045 ? value / 12.92 : std::pow((value + 0.055) / 1.055, 2.4);
}

// The pixels a viewer that ignores colour information would show.
QImage unmanaged(const QByteArray &bytes)
{
    QImage image = QImage::fromData(bytes);
    image.setColorSpace(QColorSpace());
    return image;
}

// The source as a colour-managed viewer shows it, by Qt's reader and Qt's colour transforms.
QImage referenceDecode(const QByteArray &bytes)
{
    QBuffer buffer;
    buffer.setData(bytes);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer);
    reader.setAutoTransform(true);
    QImage image = reader.read();
    if (image.colorSpace().isValid() && image.colorSpace() != QColorSpace(QColorSpace::SRgb))
        image.convertToColorSpace(QColorSpace::SRgb);
    return image;
}

// A picture converted from sRGB into `space`, and that space's ICC profile.
QImage inColourSpace(const QImage &picture, QColorSpace::NamedColorSpace space)
{
    QImage image = picture.convertToFormat(QImage::Format_RGB32);
    image.setColorSpace(QColorSpace::SRgb);
    image.convertToColorSpace(space);
    image.setColorSpace(QColorSpace());
    return image;
}

QList<Fixture> pngFixtures()
{
    QList<Fixture> fixtures;
    const QImage opaque = scene(sceneWidth, sceneHeight, false);
    const QImage translucent = scene(sceneWidth, sceneHeight, true);
    const QImage grey = greyScene(sceneWidth, sceneHeight);
    const auto add = [&](const QString &name, const PNGLayout &layout, const SampleAt &sample,
                         const QList<QRgb> &palette = {}, const QByteArray &beforeData = {},
                         const QByteArray &afterData = {}) {
        fixtures.append(fixtureOf(name, png(layout, sceneWidth, sceneHeight, sample, beforeData, afterData), "png",
                                  pictureOf(layout, sample, palette)));
        return fixtures.size() - 1;
    };

    for (const int depth : {1, 2, 4, 8, 16}) {
        add(u"png-grey%1.png"_s.arg(depth), {0, depth},
            [=](int x, int y, int) { return greyLevel(grey, x, y, depth); });
    }
    for (const int depth : {8, 16}) {
        add(u"png-greyalpha%1.png"_s.arg(depth), {4, depth}, [=](int x, int y, int channel) {
            if (channel == 1)
                return quint16(qAlpha(translucent.pixel(x, y)) * (depth == 16 ? 257 : 1));
            return greyLevel(grey, x, y, depth);
        });
    }

    // A 6x6x6 colour cube; with tRNS a 4x4x4 cube at four levels of opacity.
    QList<QRgb> cube;
    for (int index = 0; index < 216; ++index)
        cube.append(qRgb(index / 36 * 51, index / 6 % 6 * 51, index % 6 * 51));
    QByteArray cubeEntries;
    for (const QRgb colour : cube)
        cubeEntries += rgbBytes(colour);
    const auto cubeIndex = [&](int x, int y) {
        const QRgb pixel = opaque.pixel(x, y);
        return quint16(qRound(qRed(pixel) / 51.0) * 36 + qRound(qGreen(pixel) / 51.0) * 6 +
                       qRound(qBlue(pixel) / 51.0));
    };
    add(
        u"png-palette.png"_s, {3, 8}, [&](int x, int y, int) { return cubeIndex(x, y); }, cube,
        pngChunk("PLTE", cubeEntries));

    QList<QRgb> translucentCube;
    QByteArray translucentEntries;
    QByteArray opacities;
    for (int index = 0; index < 256; ++index) {
        const QRgb colour = qRgba(index / 16 % 4 * 85, index / 4 % 4 * 85, index % 4 * 85, index / 64 * 85);
        translucentCube.append(colour);
        translucentEntries += rgbBytes(colour);
        opacities += char(qAlpha(colour));
    }
    const SampleAt translucentIndex = [&](int x, int y, int) {
        const QRgb pixel = translucent.pixel(x, y);
        return quint16(qRound(qAlpha(pixel) / 85.0) * 64 + qRound(qRed(pixel) / 85.0) * 16 +
                       qRound(qGreen(pixel) / 85.0) * 4 + qRound(qBlue(pixel) / 85.0));
    };
    add(u"png-palette-trns.png"_s, {3, 8}, translucentIndex, translucentCube,
        pngChunk("PLTE", translucentEntries) + pngChunk("tRNS", opacities));

    const auto rgb = [&](int depth) -> SampleAt {
        return [=](int x, int y, int channel) {
            const QRgb pixel = opaque.pixel(x, y);
            const int value = channel == 0 ? qRed(pixel) : channel == 1 ? qGreen(pixel) : qBlue(pixel);
            return depth == 16 ? wide(value, x, y) : quint16(value);
        };
    };
    const auto rgba = [&](int depth) -> SampleAt {
        return [=](int x, int y, int channel) {
            const QRgb pixel = translucent.pixel(x, y);
            const int value = std::array{qRed(pixel), qGreen(pixel), qBlue(pixel), qAlpha(pixel)}[size_t(channel)];
            if (depth == 8)
                return quint16(value);
            return channel == 3 ? quint16(value * 257) : wide(value, x, y);
        };
    };
    add(u"png-rgb8.png"_s, {2, 8}, rgb(8));
    add(u"png-rgb16.png"_s, {2, 16}, rgb(16));
    add(u"png-rgba8.png"_s, {6, 8}, rgba(8));
    add(u"png-rgba16.png"_s, {6, 16}, rgba(16));
    add(u"png-rgba8-adam7.png"_s, {6, 8, true}, rgba(8));
    add(u"png-grey2-adam7.png"_s, {0, 2, true}, [=](int x, int y, int) { return greyLevel(grey, x, y, 2); });

    // An animation of two frames whose default image is the first: the first frame is the picture.
    const SampleAt negative = [&](int x, int y, int channel) {
        return quint16(255 - rgba(8)(x, y, channel));
    };
    const QByteArray secondFrame = be32(2) + zlibStored(pngScanlines({6, 8}, sceneWidth, sceneHeight, negative));
    add(u"png-apng.png"_s, {6, 8}, rgba(8), {}, pngChunk("acTL", be32(2) + be32(0)) + frameControl(0),
        frameControl(1) + pngChunk("fdAT", secondFrame));

    const QImage p3 = inColourSpace(opaque, QColorSpace::DisplayP3);
    const qsizetype profiled = add(
        u"png-iccp-display-p3.png"_s, {2, 8},
        [=](int x, int y, int channel) {
            const QRgb pixel = p3.pixel(x, y);
            return quint16(channel == 0 ? qRed(pixel) : channel == 1 ? qGreen(pixel) : qBlue(pixel));
        },
        {}, pngChunk("iCCP", TestImages::pngICCPData(QColorSpace(QColorSpace::DisplayP3).iccProfile())));
    fixtures[profiled].intended = opaque;

    // Encoded for a display gamma of 1.8: samples are light^(1/1.8).
    const qsizetype gamma = add(
        u"png-gama-1.8.png"_s, {2, 8},
        [=](int x, int y, int channel) {
            const QRgb pixel = opaque.pixel(x, y);
            const int value = channel == 0 ? qRed(pixel) : channel == 1 ? qGreen(pixel) : qBlue(pixel);
            return quint16(qRound(255.0 * std::pow(srgbToLinear(value / 255.0), 1.0 / 1.8)));
        },
        {}, pngChunk("gAMA", be32(55556)));
    fixtures[gamma].intended = opaque;

    // Grey levels stored as light; Qt here manages RGB profiles only, so the reference is the
    // intended picture.
    const qsizetype linearGrey = add(
        u"png-iccp-linear-grey.png"_s, {0, 8},
        [=](int x, int y, int) { return quint16(qRound(255.0 * srgbToLinear(qRed(grey.pixel(x, y)) / 255.0))); }, {},
        pngChunk("iCCP", TestImages::pngICCPData(linearGreyProfile())));
    fixtures[linearGrey].intended = grey;
    fixtures[linearGrey].referenceIsIntended = true;

    fixtures[profiled].toolDeclines = true;
    fixtures[linearGrey].toolDeclines = true;

    for (const qsizetype managed : {profiled, gamma, linearGrey}) {
        Fixture &fixture = fixtures[managed];
        fixture.unmanagedDifference = viewedDifference(unmanaged(fixture.bytes), fixture.intended, lossyCell);
    }
    return fixtures;
}

QList<Fixture> jpegFixtures(const QString &scratch)
{
    QList<Fixture> fixtures;
    const QImage opaque = scene(sceneWidth, sceneHeight, false);
    const QImage grey = greyScene(sceneWidth, sceneHeight);
    // A fixture that libjpeg-turbo's tools could not make stays empty and fails the test.
    const auto add = [&](const QString &name, const std::optional<QByteArray> &bytes, const QImage &intended) {
        fixtures.append(fixtureOf(name, bytes.value_or(QByteArray()), "jpeg", intended));
        return fixtures.size() - 1;
    };

    const auto baseline = cjpeg(opaque, {}, scratch);
    add(u"jpeg-baseline.jpg"_s, baseline, opaque);
    add(u"jpeg-baseline.jpeg"_s, baseline, opaque);
    add(u"jpeg-progressive.jpg"_s, cjpeg(opaque, {u"-progressive"_s}, scratch), opaque);
    add(u"jpeg-arithmetic.jpg"_s, jpegtran(baseline.value_or(QByteArray()), {u"-arithmetic"_s}, scratch), opaque);
    add(u"jpeg-progressive-arithmetic.jpg"_s,
        jpegtran(baseline.value_or(QByteArray()), {u"-arithmetic"_s, u"-progressive"_s}, scratch), opaque);
    add(u"jpeg-restart-markers.jpg"_s, cjpeg(opaque, {u"-restart"_s, u"1B"_s}, scratch), opaque);
    add(u"jpeg-grey.jpg"_s, cjpeg(grey, {}, scratch, true), grey);
    // With a long comment, as some cameras write: tiny otherwise, it would never shrink.
    add(u"jpeg-sequential-8bit.jpg"_s,
        TestImages::insertJPEGSegment(sequentialGreyJPEG(grey, 8), 0xFE, QByteArray(4000, ' ')), blockMeans(grey));

    // Libjpeg here reads 8-bit samples only, and so does every decoder on this system.
    const qsizetype twelveBit = add(u"jpeg-12bit.jpg"_s, sequentialGreyJPEG(grey, 12), {});
    fixtures[twelveBit].status = CompressionResultStatus::failed;
    fixtures[twelveBit].message = decodeFailed;

    QList<qsizetype> managed;
    const QByteArray inks = swappedInksProfile();
    managed.append(add(u"jpeg-cmyk-profile.jpg"_s, cmykJPEG(opaque, CMYKLayout::plain, inks), opaque));
    managed.append(add(u"jpeg-cmyk-adobe-profile.jpg"_s, cmykJPEG(opaque, CMYKLayout::adobeInverted, inks), opaque));
    for (const qsizetype cmyk : managed) {
        // Against the intended picture, the source's own JPEG loss counts too.
        fixtures[cmyk].referenceIsIntended = true;
        fixtures[cmyk].lossyTolerance = 4.0;
    }
    add(u"jpeg-cmyk-adobe.jpg"_s, cmykJPEG(opaque, CMYKLayout::adobeInverted, {}), opaque);

    for (const auto &[name, space] :
         {std::pair{u"display-p3"_s, QColorSpace::DisplayP3}, std::pair{u"adobe-rgb"_s, QColorSpace::AdobeRgb}}) {
        const QString profile = QDir(scratch).filePath(name + u".icc"_s);
        TestFiles::writeFile(profile, QColorSpace(space).iccProfile());
        managed.append(add(u"jpeg-%1.jpg"_s.arg(name),
                           cjpeg(inColourSpace(opaque, space), {u"-icc"_s, profile}, scratch), opaque));
        QFile::remove(profile);
    }
    for (const qsizetype index : managed) {
        Fixture &fixture = fixtures[index];
        fixture.unmanagedDifference = viewedDifference(unmanaged(fixture.bytes), fixture.intended, lossyCell);
    }

    for (int orientation = 1; orientation <= 8; ++orientation) {
        auto stored = cjpeg(storedForOrientation(opaque, orientation), {}, scratch);
        if (stored)
            stored = TestImages::insertJPEGSegment(*stored, 0xE1, TestImages::exifPayload(orientation));
        add(u"jpeg-orientation-%1.jpg"_s.arg(orientation), stored, opaque);
    }
    return fixtures;
}

QList<Fixture> otherFixtures(const QString &scratch)
{
    QList<Fixture> fixtures;
    const QImage opaque = scene(sceneWidth, sceneHeight, false);
    const QImage translucent = scene(sceneWidth, sceneHeight, true);
    const auto add = [&](const QString &name, const std::optional<QByteArray> &bytes, const QByteArray &format,
                         const QString &message) {
        if (bytes) {
            Fixture fixture = fixtureOf(name, *bytes, format, {});
            fixture.status = CompressionResultStatus::skipped;
            fixture.message = message;
            fixtures.append(fixture);
        } else {
            qWarning("%s: its encoder is missing here, so the fixture is left out", qPrintable(name));
        }
    };
    add(u"heic-alpha.heic"_s, heic({translucent}, scratch), "heic", heifSkipped);
    add(u"heic-several-images.heic"_s, heic({opaque, translucent}, scratch), "heic", heifSkipped);
    add(u"tiff-pages.tif"_s, multiPageTIFF({opaque, translucent}, scratch), "tiff", tiffSkipped);
    return fixtures;
}

QString withSuffix(const QString &fileName, const QString &suffix)
{
    const qsizetype dot = fileName.lastIndexOf(u'.');
    return fileName.left(dot) + suffix + fileName.mid(dot);
}

} // namespace

class InputVarietyTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();

    void validInputsKeepTheirPicture_data();
    void validInputsKeepTheirPicture();
    void damagedInputsFailCleanlyOrDecode_data();
    void damagedInputsFailCleanlyOrDecode();

private:
    // Writes the source into a folder of its own and runs it through the pipeline; checks that
    // nothing was lost or left. The row's result, or nothing when a check failed.
    std::optional<CompressionResult> compressAlone(Road road, const QString &fileName, const QByteArray &bytes,
                                                   QString *outputPath, QList<LogLine> *log);

    Sandbox m_sandbox;
    QList<Fixture> m_fixtures;
};

void InputVarietyTest::initTestCase()
{
    QVERIFY(m_sandbox.isValid());
    QVERIFY2(missingTools().isEmpty(), qPrintable(u"the build tree's bundle lacks: "_s + missingTools()));
    const QString scratch = m_sandbox.newFolder(u"scratch"_s);
    m_fixtures = pngFixtures() + jpegFixtures(scratch) + otherFixtures(scratch);
    for (Fixture &fixture : m_fixtures) {
        QVERIFY2(!fixture.bytes.isEmpty(), qPrintable(u"cannot make "_s + fixture.fileName));
        if (fixture.intended.isNull())
            continue;
        fixture.reference = fixture.referenceIsIntended ? fixture.intended : referenceDecode(fixture.bytes);
        // The fixture shows what it was made to show...
        QVERIFY2(viewedDifference(fixture.reference, fixture.intended, lossyCell) <= fixture.lossyTolerance,
                 qPrintable(fixture.fileName));
        // ...and its colour information matters, so that ignoring it would show.
        if (fixture.unmanagedDifference)
            QVERIFY2(*fixture.unmanagedDifference > 3 * fixture.lossyTolerance, qPrintable(fixture.fileName));
    }
    // A mirror or a turn moves far more than the encoders do.
    const QImage picture = scene(sceneWidth, sceneHeight, false);
    QVERIFY(viewedDifference(picture.mirrored(true, false), picture, lossyCell) > 10 * 2.5);
    QVERIFY(viewedDifference(picture.mirrored(false, true), picture, lossyCell) > 10 * 2.5);
}

std::optional<CompressionResult> InputVarietyTest::compressAlone(Road road, const QString &fileName,
                                                                 const QByteArray &bytes, QString *outputPath,
                                                                 QList<LogLine> *log)
{
    const QString folder = m_sandbox.newFolder(u"row"_s);
    const QString source = QDir(folder).filePath(fileName);
    if (!TestFiles::writeFile(source, bytes))
        return std::nullopt;
    const FolderRecord before(folder);

    QList<CompressionResult> results;
    {
        const LogCapture capture;
        results = compress(road, {QUrl::fromLocalFile(source)});
        *log = capture.lines();
    }
    if (results.size() != 1)
        return std::nullopt;
    const CompressionResult &result = results.first();
    *outputPath = result.outputURL ? result.outputURL->toLocalFile() : QString();

    const QString changes = before.changesBeyond(outputNames(results));
    const QString leftovers = leftoversIn(m_sandbox.temporaryFolder());
    if (!changes.isEmpty() || !leftovers.isEmpty()) {
        qWarning("%s | %s | temporary folder: %s", qPrintable(describe(result)), qPrintable(changes),
                 qPrintable(leftovers));
        return std::nullopt;
    }
    return result;
}

void InputVarietyTest::validInputsKeepTheirPicture_data()
{
    QTest::addColumn<Road>("road");
    QTest::addColumn<int>("fixture");
    for (const Road road : {Road::tools, Road::fallback}) {
        for (qsizetype index = 0; index < m_fixtures.size(); ++index)
            QTest::addRow("%s: %s", qPrintable(roadName(road)), qPrintable(m_fixtures[index].fileName))
                << road << int(index);
    }
}

void InputVarietyTest::validInputsKeepTheirPicture()
{
    QFETCH(Road, road);
    QFETCH(int, fixture);
    const Fixture &input = m_fixtures[fixture];

    QString output;
    QList<LogLine> log;
    const auto result = compressAlone(road, input.fileName, input.bytes, &output, &log);
    QVERIFY2(result, "something was lost or left behind (see the warning above)");
    QVERIFY2(result->status == input.status, qPrintable(describe(*result)));
    if (input.status != CompressionResultStatus::success) {
        QCOMPARE(result->message.value_or(QString()), input.message);
        return;
    }

    QImage decoded;
    const QString problem = checkOutputFile(output, input.format, &decoded);
    QVERIFY2(problem.isEmpty(), qPrintable(problem));
    QCOMPARE(decoded.size(), input.reference.size());
    const bool lossless = road == Road::fallback && input.format == "png";
    const double tolerance = lossless ? input.losslessTolerance : input.lossyTolerance;
    const double difference = viewedDifference(decoded, input.reference, lossless ? 1 : lossyCell);
    QVERIFY2(difference <= tolerance,
             qPrintable(u"mean difference %1 above %2 for %3"_s.arg(difference).arg(tolerance).arg(output)));
    if (road == Road::tools) {
        // A valid picture needs no fallback: the external tool took it, unless it must not.
        const bool fellBack =
            std::any_of(log.cbegin(), log.cend(), [](const LogLine &line) { return line.type == QtCriticalMsg; });
        QVERIFY2(fellBack == input.toolDeclines, qPrintable(::describe(log)));
    }
}

void InputVarietyTest::damagedInputsFailCleanlyOrDecode_data()
{
    QTest::addColumn<Road>("road");
    QTest::addColumn<QString>("fileName");
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QByteArray>("format");
    QTest::addColumn<bool>("mustFail");

    QList<std::tuple<QString, QByteArray, QByteArray, bool>> inputs;
    for (const Fixture &fixture : std::as_const(m_fixtures)) {
        inputs.append(
            {withSuffix(fixture.fileName, u"-cut-third"_s), truncated(fixture.bytes, 1.0 / 3), fixture.format, false});
        inputs.append({withSuffix(fixture.fileName, u"-cut-two-thirds"_s), truncated(fixture.bytes, 2.0 / 3),
                       fixture.format, false});
        inputs.append({withSuffix(fixture.fileName, u"-bit-flips"_s), bitFlipped(fixture.bytes, 16, 1234),
                       fixture.format, false});
    }
    for (const char *extension : {"jpg", "png", "heic", "tif"})
        inputs.append({u"empty."_s + QLatin1String(extension), QByteArray(), QByteArray(extension), true});

    // Headers that claim billions of pixels: refused from the header, fast and small.
    const QImage small = scene(32, 32, false);
    inputs.append({u"huge.png"_s, TestImages::pngBomb(100000, 100000, true), "png", true});
    inputs.append(
        {u"huge.jpg"_s, withClaimedJPEGSize(TestImages::encode(small, "jpeg", 90), 65500, 65500), "jpeg", true});
    inputs.append({u"huge.tif"_s, withClaimedTIFFSize(TestImages::encode(small, "tiff"), 65535, 65535), "tiff", true});
    for (const Fixture &fixture : std::as_const(m_fixtures)) {
        if (fixture.format == "heic") {
            inputs.append({u"huge.heic"_s, TestImages::withClaimedSize(fixture.bytes, 100000, 100000), "heic", true});
            break;
        }
    }

    for (const Road road : {Road::tools, Road::fallback}) {
        for (const auto &[name, bytes, format, mustFail] : inputs)
            QTest::addRow("%s: %s", qPrintable(roadName(road)), qPrintable(name))
                << road << name << bytes << format << mustFail;
    }
}

void InputVarietyTest::damagedInputsFailCleanlyOrDecode()
{
    QFETCH(Road, road);
    QFETCH(QString, fileName);
    QFETCH(QByteArray, bytes);
    QFETCH(QByteArray, format);
    QFETCH(bool, mustFail);

    QString output;
    QList<LogLine> log;
    const auto result = compressAlone(road, fileName, bytes, &output, &log);
    QVERIFY2(result, "something was lost or left behind (see the warning above)");
    const QString message = result->message.value_or(QString());
    switch (result->status) {
    case CompressionResultStatus::failed:
        QVERIFY2(message == readFailed || message == decodeFailed, qPrintable(describe(*result)));
        break;
    case CompressionResultStatus::skipped:
        QVERIFY2(!mustFail, qPrintable(describe(*result)));
        QVERIFY2(message == notSmaller || message == heifSkipped || message == tiffSkipped,
                 qPrintable(describe(*result)));
        break;
    case CompressionResultStatus::success: {
        QVERIFY2(!mustFail, qPrintable(describe(*result)));
        const QString problem = checkOutputFile(output, format);
        QVERIFY2(problem.isEmpty(), qPrintable(problem));
        break;
    }
    }
}

QTEST_GUILESS_MAIN(InputVarietyTest)
#include "tst_inputvariety.moc"
