#include "InputFixtures.h"

#include "TestFiles.h"
#include "TestImages.h"

#include <QDir>
#include <QFile>
#include <QRandomGenerator>
#include <QStandardPaths>
#include <QtEndian>

#include <array>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include <jpeglib.h>
#include <lcms2.h>
#include <zlib.h>

namespace InputFixtures {

namespace {

QByteArray bigEndian16(quint16 value)
{
    QByteArray bytes(2, '\0');
    qToBigEndian(value, bytes.data());
    return bytes;
}

QByteArray bigEndian32(quint32 value)
{
    QByteArray bytes(4, '\0');
    qToBigEndian(value, bytes.data());
    return bytes;
}

int channelsOf(int colourType)
{
    switch (colourType) {
    case 0:
    case 3:
        return 1;
    case 4:
        return 2;
    case 2:
        return 3;
    default:
        return 4;
    }
}

// Where the pixel at (x, y) of a stored picture of width w and height h appears once EXIF
// orientation o is applied, written out from the EXIF table.
QPoint displayedPosition(int o, int x, int y, int w, int h)
{
    switch (o) {
    case 2:
        return {w - 1 - x, y};
    case 3:
        return {w - 1 - x, h - 1 - y};
    case 4:
        return {x, h - 1 - y};
    case 5:
        return {y, x};
    case 6:
        return {h - 1 - y, x};
    case 7:
        return {h - 1 - y, w - 1 - x};
    case 8:
        return {y, w - 1 - x};
    default:
        return {x, y};
    }
}

// Runs a program found on PATH to its end; false when it is missing, crashes or exits non-zero.
bool run(const QString &program, const QStringList &arguments)
{
    const QString path = QStandardPaths::findExecutable(program);
    if (path.isEmpty())
        return false;
    const TestFiles::ProcessRun process = TestFiles::run(path, arguments);
    return process.finished && process.exitCode == 0;
}

QString scratchPath(const QString &folder, const char *name)
{
    return QDir(folder).filePath(QString::fromLatin1(name));
}

} // namespace

QImage scene(int width, int height, bool withAlpha)
{
    QImage image(width, height, QImage::Format_ARGB32);
    for (int y = 0; y < height; ++y) {
        auto *line = reinterpret_cast<QRgb *>(image.scanLine(y));
        for (int x = 0; x < width; ++x) {
            const int r = 40 + 170 * x / (width - 1);
            const int g = 50 + 150 * y / (height - 1);
            const int b = 210 - 160 * (x + y) / (width + height - 2);
            const int alpha = withAlpha && x < width / 2 ? 255 * y / (height - 1) : 255;
            line[x] = qRgba(r, g, b, alpha);
        }
    }
    struct Block {
        int column, row;
        QRgb colour;
    };
    // Six columns and two rows of cells; the blocks fill five of them, no two alike.
    const Block blocks[] = {{0, 0, qRgb(230, 20, 20)},  {2, 0, qRgb(20, 200, 40)},  {4, 0, qRgb(30, 40, 225)},
                            {1, 1, qRgb(240, 220, 30)}, {4, 1, qRgb(210, 30, 200)}, {5, 1, qRgb(30, 205, 215)}};
    const int cellWidth = width / 6;
    const int cellHeight = height / 2;
    for (const Block &block : blocks) {
        for (int y = block.row * cellHeight + cellHeight / 4; y < (block.row + 1) * cellHeight - cellHeight / 4; ++y) {
            for (int x = block.column * cellWidth + cellWidth / 8; x < (block.column + 1) * cellWidth - cellWidth / 8;
                 ++x) {
                const int alpha = qAlpha(image.pixel(x, y));
                image.setPixel(x, y, (block.colour & 0xFFFFFF) | (QRgb(alpha) << 24));
            }
        }
    }
    return image;
}

QImage greyScene(int width, int height)
{
    QImage image = scene(width, height, false);
    for (int y = 0; y < height; ++y) {
        auto *line = reinterpret_cast<QRgb *>(image.scanLine(y));
        for (int x = 0; x < width; ++x) {
            const QRgb pixel = line[x];
            const int level = qRound(0.299 * qRed(pixel) + 0.587 * qGreen(pixel) + 0.114 * qBlue(pixel));
            line[x] = qRgb(level, level, level);
        }
    }
    return image;
}

QByteArray pngChunk(const QByteArray &type, const QByteArray &data)
{
    const QByteArray body = type + data;
    const auto crc = quint32(crc32(0, reinterpret_cast<const Bytef *>(body.constData()), uInt(body.size())));
    return bigEndian32(quint32(data.size())) + body + bigEndian32(crc);
}

QByteArray zlibStored(const QByteArray &bytes)
{
    uLongf size = compressBound(uLong(bytes.size()));
    QByteArray stream(qsizetype(size), '\0');
    compress2(reinterpret_cast<Bytef *>(stream.data()), &size, reinterpret_cast<const Bytef *>(bytes.constData()),
              uLong(bytes.size()), Z_NO_COMPRESSION);
    stream.resize(qsizetype(size));
    return stream;
}

QByteArray pngScanlines(const PNGLayout &layout, int width, int height, const SampleAt &sample)
{
    const int channels = channelsOf(layout.colourType);
    const auto scanline = [&](int y, int firstX, int stepX, int count) {
        QByteArray line(1, '\0'); // filter type None
        quint32 packed = 0;
        int packedBits = 0;
        for (int i = 0; i < count; ++i) {
            for (int channel = 0; channel < channels; ++channel) {
                const quint16 value = sample(firstX + i * stepX, y, channel);
                if (layout.bitDepth == 16) {
                    line += bigEndian16(value);
                } else if (layout.bitDepth == 8) {
                    line += char(value);
                } else {
                    packed = packed << layout.bitDepth | value;
                    packedBits += layout.bitDepth;
                    if (packedBits == 8) {
                        line += char(packed);
                        packed = 0;
                        packedBits = 0;
                    }
                }
            }
        }
        if (packedBits > 0)
            line += char(packed << (8 - packedBits));
        return line;
    };

    QByteArray data;
    if (!layout.interlaced) {
        for (int y = 0; y < height; ++y)
            data += scanline(y, 0, 1, width);
        return data;
    }
    struct Pass {
        int x0, y0, dx, dy;
    };
    constexpr Pass adam7[] = {{0, 0, 8, 8}, {4, 0, 8, 8}, {0, 4, 4, 8}, {2, 0, 4, 4},
                              {0, 2, 2, 4}, {1, 0, 2, 2}, {0, 1, 1, 2}};
    for (const Pass &pass : adam7) {
        const int columns = width > pass.x0 ? (width - pass.x0 + pass.dx - 1) / pass.dx : 0;
        if (columns == 0)
            continue;
        for (int y = pass.y0; y < height; y += pass.dy)
            data += scanline(y, pass.x0, pass.dx, columns);
    }
    return data;
}

QByteArray pngIHDR(const PNGLayout &layout, int width, int height)
{
    QByteArray header = bigEndian32(quint32(width)) + bigEndian32(quint32(height));
    header += char(layout.bitDepth);
    header += char(layout.colourType);
    header += '\0'; // deflate
    header += '\0'; // adaptive filtering
    header += char(layout.interlaced ? 1 : 0);
    return pngChunk("IHDR", header);
}

QByteArray png(const PNGLayout &layout, int width, int height, const SampleAt &sample, const QByteArray &beforeData,
               const QByteArray &afterData)
{
    return QByteArray("\x89PNG\r\n\x1A\n", 8) + pngIHDR(layout, width, height) + beforeData +
           pngChunk("IDAT", zlibStored(pngScanlines(layout, width, height, sample))) + afterData + pngChunk("IEND", {});
}

QByteArray ppm(const QImage &image)
{
    const QImage rgb = image.convertToFormat(QImage::Format_RGB888);
    QByteArray bytes = "P6\n" + QByteArray::number(rgb.width()) + ' ' + QByteArray::number(rgb.height()) + "\n255\n";
    for (int y = 0; y < rgb.height(); ++y)
        bytes.append(reinterpret_cast<const char *>(rgb.constScanLine(y)), qsizetype(rgb.width()) * 3);
    return bytes;
}

QByteArray pgm(const QImage &grey)
{
    QByteArray bytes = "P5\n" + QByteArray::number(grey.width()) + ' ' + QByteArray::number(grey.height()) + "\n255\n";
    for (int y = 0; y < grey.height(); ++y) {
        for (int x = 0; x < grey.width(); ++x)
            bytes += char(qRed(grey.pixel(x, y)));
    }
    return bytes;
}

std::optional<QByteArray> cjpeg(const QImage &image, const QStringList &options, const QString &scratchFolder,
                                bool grey)
{
    const QString input = scratchPath(scratchFolder, grey ? "cjpeg-input.pgm" : "cjpeg-input.ppm");
    const QString output = scratchPath(scratchFolder, "cjpeg-output.jpg");
    if (!TestFiles::writeFile(input, grey ? pgm(image) : ppm(image)))
        return std::nullopt;
    const bool encoded =
        run(QStringLiteral("cjpeg"), QStringList{QStringLiteral("-quality"), QStringLiteral("95")} + options +
                                         QStringList{QStringLiteral("-outfile"), output, input});
    const QByteArray bytes = TestFiles::readFile(output);
    QFile::remove(input);
    QFile::remove(output);
    if (!encoded || bytes.isEmpty())
        return std::nullopt;
    return bytes;
}

std::optional<QByteArray> jpegtran(const QByteArray &jpeg, const QStringList &options, const QString &scratchFolder)
{
    const QString input = scratchPath(scratchFolder, "jpegtran-input.jpg");
    const QString output = scratchPath(scratchFolder, "jpegtran-output.jpg");
    if (!TestFiles::writeFile(input, jpeg))
        return std::nullopt;
    const bool transcoded =
        run(QStringLiteral("jpegtran"), options + QStringList{QStringLiteral("-outfile"), output, input});
    const QByteArray bytes = TestFiles::readFile(output);
    QFile::remove(input);
    QFile::remove(output);
    if (!transcoded || bytes.isEmpty())
        return std::nullopt;
    return bytes;
}

namespace {

// The colour that inks make under the swapped-inks model, in sRGB from 0 to 1.
std::array<double, 3> swappedInksColour(double c, double m, double y, double k)
{
    return {(1.0 - m) * (1.0 - k), (1.0 - y) * (1.0 - k), (1.0 - c) * (1.0 - k)};
}

cmsInt32Number sampleSwappedInks(const cmsUInt16Number in[], cmsUInt16Number out[], void *toLab)
{
    const std::array<double, 3> rgb =
        swappedInksColour(in[0] / 65535.0, in[1] / 65535.0, in[2] / 65535.0, in[3] / 65535.0);
    cmsCIELab lab;
    cmsDoTransform(static_cast<cmsHTRANSFORM>(toLab), rgb.data(), &lab, 1);
    cmsFloat2LabEncoded(out, &lab);
    return TRUE;
}

QByteArray savedProfile(cmsHPROFILE profile)
{
    cmsUInt32Number size = 0;
    cmsSaveProfileToMem(profile, nullptr, &size);
    QByteArray bytes(qsizetype(size), '\0');
    cmsSaveProfileToMem(profile, bytes.data(), &size);
    cmsCloseProfile(profile);
    return bytes;
}

// Ink amounts with grey replaced by black ink: the largest channel decides the black.
std::array<double, 4> inksWithBlack(double first, double second, double third)
{
    const double k = 1.0 - std::max({first, second, third});
    if (k >= 1.0)
        return {0.0, 0.0, 0.0, 1.0};
    return {1.0 - first / (1.0 - k), 1.0 - second / (1.0 - k), 1.0 - third / (1.0 - k), k};
}

} // namespace

QByteArray linearGreyProfile()
{
    cmsToneCurve *linear = cmsBuildGamma(nullptr, 1.0);
    const QByteArray profile = savedProfile(cmsCreateGrayProfile(cmsD50_xyY(), linear));
    cmsFreeToneCurve(linear);
    return profile;
}

QByteArray swappedInksProfile()
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
    cmsStageSampleCLut16bit(grid, sampleSwappedInks, toLab, 0);
    // The A-to-B form wants curves around the grid; identity ones change nothing.
    cmsPipelineInsertStage(pipeline, cmsAT_END, cmsStageAllocToneCurves(nullptr, 4, nullptr));
    cmsPipelineInsertStage(pipeline, cmsAT_END, grid);
    cmsPipelineInsertStage(pipeline, cmsAT_END, cmsStageAllocToneCurves(nullptr, 3, nullptr));
    cmsWriteTag(profile, cmsSigAToB0Tag, pipeline);
    cmsWriteTag(profile, cmsSigMediaWhitePointTag, cmsD50_XYZ());
    cmsPipelineFree(pipeline);

    cmsDeleteTransform(toLab);
    cmsCloseProfile(lab);
    cmsCloseProfile(sRGB);
    return savedProfile(profile);
}

namespace {

// Ink amounts 0-1 that give `colour` through swappedInksProfile(), and through the usual naive
// reading of inverted inks.
std::array<double, 4> swappedInksFor(QRgb colour)
{
    // red comes from magenta, green from yellow, blue from cyan
    const auto [m, y, c, k] = inksWithBlack(qRed(colour) / 255.0, qGreen(colour) / 255.0, qBlue(colour) / 255.0);
    return {c, m, y, k};
}

std::array<double, 4> naiveInksFor(QRgb colour)
{
    return inksWithBlack(qRed(colour) / 255.0, qGreen(colour) / 255.0, qBlue(colour) / 255.0);
}

} // namespace

QByteArray cmykJPEG(const QImage &picture, CMYKLayout layout, const QByteArray &iccProfile)
{
    jpeg_compress_struct info{};
    jpeg_error_mgr error{};
    info.err = jpeg_std_error(&error);
    jpeg_create_compress(&info);
    unsigned char *buffer = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&info, &buffer, &size);
    info.image_width = JDIMENSION(picture.width());
    info.image_height = JDIMENSION(picture.height());
    info.input_components = 4;
    info.in_color_space = JCS_CMYK;
    jpeg_set_defaults(&info);
    jpeg_set_quality(&info, 95, TRUE);
    const bool inverted = layout == CMYKLayout::adobeInverted;
    if (inverted) {
        jpeg_set_colorspace(&info, JCS_YCCK); // writes the Adobe marker with transform 2
    } else {
        jpeg_set_colorspace(&info, JCS_CMYK);
        info.write_Adobe_marker = FALSE;
    }
    jpeg_start_compress(&info, TRUE);
    if (!iccProfile.isEmpty())
        jpeg_write_icc_profile(&info, reinterpret_cast<const JOCTET *>(iccProfile.constData()),
                               unsigned(iccProfile.size()));
    std::vector<JSAMPLE> row(size_t(picture.width()) * 4);
    while (info.next_scanline < info.image_height) {
        for (int x = 0; x < picture.width(); ++x) {
            const QRgb colour = picture.pixel(x, int(info.next_scanline));
            const std::array<double, 4> inks = iccProfile.isEmpty() ? naiveInksFor(colour) : swappedInksFor(colour);
            for (int channel = 0; channel < 4; ++channel) {
                const int amount = qRound(inks[size_t(channel)] * 255.0);
                row[size_t(x) * 4 + size_t(channel)] = JSAMPLE(inverted ? 255 - amount : amount);
            }
        }
        JSAMPROW rows[1] = {row.data()};
        jpeg_write_scanlines(&info, rows, 1);
    }
    jpeg_finish_compress(&info);
    jpeg_destroy_compress(&info);
    const QByteArray bytes(reinterpret_cast<const char *>(buffer), qsizetype(size));
    std::free(buffer);
    return bytes;
}

namespace {

// Entropy-coded bits, most significant first, with a zero byte stuffed after every 0xFF.
class BitWriter
{
public:
    void put(quint32 value, int count)
    {
        for (int bit = count - 1; bit >= 0; --bit) {
            m_byte = quint8(m_byte << 1 | ((value >> bit) & 1));
            if (++m_bits == 8)
                flushByte();
        }
    }
    QByteArray finish()
    {
        while (m_bits != 0)
            put(1, 1); // padded with ones
        return m_bytes;
    }

private:
    void flushByte()
    {
        m_bytes += char(m_byte);
        if (m_byte == 0xFF)
            m_bytes += '\0';
        m_byte = 0;
        m_bits = 0;
    }
    QByteArray m_bytes;
    quint8 m_byte = 0;
    int m_bits = 0;
};

QByteArray jpegSegment(quint8 marker, const QByteArray &payload)
{
    return QByteArray("\xFF", 1) + char(marker) + bigEndian16(quint16(payload.size() + 2)) + payload;
}

double blockMean(const QImage &grey, int blockX, int blockY)
{
    double sum = 0;
    for (int y = 0; y < 8; ++y) {
        for (int x = 0; x < 8; ++x)
            sum += qRed(grey.pixel(blockX * 8 + x, blockY * 8 + y));
    }
    return sum / 64.0;
}

} // namespace

QByteArray sequentialGreyJPEG(const QImage &grey, int precision)
{
    const int width = grey.width();
    const int height = grey.height();
    const int maximum = (1 << precision) - 1;
    const int levelShift = 1 << (precision - 1);
    constexpr int quantiser = 16;

    QByteArray jpeg("\xFF\xD8", 2);
    jpeg += jpegSegment(0xDB, QByteArray(1, '\0') + QByteArray(64, char(quantiser)));
    QByteArray frame;
    frame += char(precision);
    frame += bigEndian16(quint16(height)) + bigEndian16(quint16(width));
    frame += QByteArray("\x01\x01\x11\x00", 4); // one component: id 1, 1x1 sampling, table 0
    jpeg += jpegSegment(0xC1, frame);
    // DC: the sixteen size categories, each a five-bit code equal to the category.
    QByteArray dcCounts(16, '\0');
    dcCounts[4] = 16;
    QByteArray dcSymbols;
    for (int category = 0; category < 16; ++category)
        dcSymbols += char(category);
    jpeg += jpegSegment(0xC4, QByteArray(1, '\x00') + dcCounts + dcSymbols);
    // AC: end-of-block only, the one-bit code 0.
    QByteArray acCounts(16, '\0');
    acCounts[0] = 1;
    jpeg += jpegSegment(0xC4, QByteArray(1, '\x10') + acCounts + QByteArray(1, '\0'));
    jpeg += jpegSegment(0xDA, QByteArray("\x01\x01\x00\x00\x3F\x00", 6));

    BitWriter bits;
    int previous = 0;
    for (int blockY = 0; blockY < height / 8; ++blockY) {
        for (int blockX = 0; blockX < width / 8; ++blockX) {
            const double level = blockMean(grey, blockX, blockY) * maximum / 255.0;
            // A flat block's only coefficient is eight times its level-shifted value.
            const int coefficient = int(std::lround(8.0 * (level - levelShift) / quantiser));
            const int difference = coefficient - previous;
            previous = coefficient;
            int category = 0;
            while ((std::abs(difference) >> category) != 0)
                ++category;
            bits.put(quint32(category), 5);
            if (category > 0)
                bits.put(quint32(difference >= 0 ? difference : difference + (1 << category) - 1), category);
            bits.put(0, 1); // end of block
        }
    }
    jpeg += bits.finish();
    jpeg += QByteArray("\xFF\xD9", 2);
    return jpeg;
}

QImage blockMeans(const QImage &grey)
{
    QImage image(grey.size(), QImage::Format_ARGB32);
    for (int blockY = 0; blockY < grey.height() / 8; ++blockY) {
        for (int blockX = 0; blockX < grey.width() / 8; ++blockX) {
            const int level = qRound(blockMean(grey, blockX, blockY));
            for (int y = 0; y < 8; ++y) {
                for (int x = 0; x < 8; ++x)
                    image.setPixel(blockX * 8 + x, blockY * 8 + y, qRgb(level, level, level));
            }
        }
    }
    return image;
}

QByteArray withClaimedJPEGSize(const QByteArray &jpeg, quint16 width, quint16 height)
{
    QByteArray result = jpeg;
    for (qsizetype at = 2; at + 9 <= result.size() && quint8(result[at]) == 0xFF;) {
        const quint8 marker = quint8(result[at + 1]);
        const bool frame = marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC;
        if (frame) {
            qToBigEndian(height, result.data() + at + 5);
            qToBigEndian(width, result.data() + at + 7);
            return result;
        }
        at += 2 + qFromBigEndian<quint16>(result.constData() + at + 2);
    }
    return result;
}

QByteArray withClaimedTIFFSize(const QByteArray &tiff, quint16 width, quint16 height)
{
    QByteArray result = tiff;
    const bool little = result.startsWith("II");
    const auto read16 = [&](qsizetype at) {
        return little ? qFromLittleEndian<quint16>(result.constData() + at)
                      : qFromBigEndian<quint16>(result.constData() + at);
    };
    const auto read32 = [&](qsizetype at) {
        return little ? qFromLittleEndian<quint32>(result.constData() + at)
                      : qFromBigEndian<quint32>(result.constData() + at);
    };
    const qsizetype ifd = qsizetype(read32(4));
    const int entries = read16(ifd);
    for (int index = 0; index < entries; ++index) {
        const qsizetype entry = ifd + 2 + qsizetype(index) * 12;
        const quint16 tag = read16(entry);
        if (tag != 256 && tag != 257)
            continue;
        const quint16 value = tag == 256 ? width : height;
        char *field = result.data() + entry + 8;
        if (read16(entry + 2) == 3) { // SHORT
            if (little)
                qToLittleEndian(value, field);
            else
                qToBigEndian(value, field);
        } else if (little) {
            qToLittleEndian(quint32(value), field);
        } else {
            qToBigEndian(quint32(value), field);
        }
    }
    return result;
}

std::optional<QByteArray> heic(const QList<QImage> &images, const QString &scratchFolder)
{
    QStringList inputs;
    for (qsizetype index = 0; index < images.size(); ++index) {
        const QString input = QDir(scratchFolder).filePath(QStringLiteral("heif-input-%1.png").arg(index));
        if (!images[index].save(input, "PNG"))
            return std::nullopt;
        inputs.append(input);
    }
    const QString output = scratchPath(scratchFolder, "heif-output.heic");
    const bool encoded =
        run(QStringLiteral("heif-enc"),
            QStringList{QStringLiteral("-q"), QStringLiteral("90"), QStringLiteral("-o"), output} + inputs);
    const QByteArray bytes = TestFiles::readFile(output);
    for (const QString &input : inputs)
        QFile::remove(input);
    QFile::remove(output);
    if (!encoded || bytes.isEmpty())
        return std::nullopt;
    return bytes;
}

std::optional<QByteArray> multiPageTIFF(const QList<QImage> &pages, const QString &scratchFolder)
{
    QStringList inputs;
    for (qsizetype index = 0; index < pages.size(); ++index) {
        const QString input = QDir(scratchFolder).filePath(QStringLiteral("tiff-page-%1.png").arg(index));
        if (!pages[index].save(input, "PNG"))
            return std::nullopt;
        inputs.append(input);
    }
    const QString output = scratchPath(scratchFolder, "pages.tif");
    const bool encoded = run(QStringLiteral("convert"), inputs + QStringList{output});
    const QByteArray bytes = TestFiles::readFile(output);
    for (const QString &input : inputs)
        QFile::remove(input);
    QFile::remove(output);
    if (!encoded || bytes.isEmpty())
        return std::nullopt;
    return bytes;
}

QImage storedForOrientation(const QImage &viewed, int orientation)
{
    const bool swaps = orientation >= 5;
    const int width = swaps ? viewed.height() : viewed.width();
    const int height = swaps ? viewed.width() : viewed.height();
    QImage stored(width, height, QImage::Format_ARGB32);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x)
            stored.setPixel(x, y, viewed.pixel(displayedPosition(orientation, x, y, width, height)));
    }
    return stored;
}

QByteArray truncated(const QByteArray &bytes, double keptFraction)
{
    return bytes.left(std::max<qsizetype>(1, qsizetype(double(bytes.size()) * keptFraction)));
}

QByteArray bitFlipped(const QByteArray &bytes, int count, quint32 seed, qsizetype spared)
{
    QByteArray result = bytes;
    QRandomGenerator random(seed);
    const qsizetype span = result.size() - spared;
    for (int flip = 0; flip < count && span > 0; ++flip) {
        const qsizetype at = spared + qsizetype(random.bounded(quint32(span)));
        result[at] = char(quint8(result[at]) ^ (1u << random.bounded(8u)));
    }
    return result;
}

} // namespace InputFixtures
