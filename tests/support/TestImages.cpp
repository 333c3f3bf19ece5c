// SPDX-License-Identifier: GPL-3.0-or-later
#include "TestImages.h"

#include "TestFiles.h"

#include <QBuffer>
#include <QColorSpace>
#include <QCryptographicHash>
#include <QDirIterator>
#include <QImageReader>
#include <QImageWriter>
#include <QPainter>
#include <QRandomGenerator>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QtEndian>

#include <array>
#include <cmath>
#include <numbers>
#include <vector>

#include <fcntl.h>
#include <unistd.h>

#include <jpeglib.h>
#include <lcms2.h>
#include <zlib.h>

#include <functional>

using namespace pressel;
using namespace Qt::StringLiterals;

namespace TestImages {

namespace {

QByteArray bigEndian16(quint16 value)
{
    QByteArray bytes(2, 0);
    qToBigEndian(value, bytes.data());
    return bytes;
}

QByteArray bigEndian32(quint32 value)
{
    QByteArray bytes(4, 0);
    qToBigEndian(value, bytes.data());
    return bytes;
}

// Fills every pixel from f(x, y).
template<typename F> QImage painted(int width, int height, QImage::Format format, F f)
{
    QImage image(width, height, format);
    for (int y = 0; y < height; ++y) {
        auto *line = reinterpret_cast<QRgb *>(image.scanLine(y));
        for (int x = 0; x < width; ++x)
            line[x] = f(x, y);
    }
    return image;
}

} // namespace

QImage photo(int width, int height, quint32 seed)
{
    QRandomGenerator random(seed);
    return painted(width, height, QImage::Format_RGB32, [&](int x, int y) {
        const double fx = double(x) / width;
        const double fy = double(y) / height;
        const int grain = int(random.bounded(24)) - 12;
        const int r = int(120 + 100 * std::sin(fx * 6.0 + fy * 2.0)) + grain;
        const int g = int(110 + 90 * std::cos(fy * 5.0 - fx)) + grain;
        const int b = int(100 + 80 * std::sin((fx + fy) * 4.0)) + grain;
        return qRgb(qBound(0, r, 255), qBound(0, g, 255), qBound(0, b, 255));
    });
}

QImage transparentGraphic(int width, int height)
{
    QImage image(width, height, QImage::Format_ARGB32);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setBrush(QColor(230, 120, 30));
    painter.setPen(QPen(QColor(40, 90, 200), 4));
    painter.drawEllipse(QRectF(width * 0.1, height * 0.1, width * 0.8, height * 0.8));
    return image;
}

QImage noise(int width, int height, quint32 seed)
{
    QRandomGenerator random(seed);
    return painted(width, height, QImage::Format_RGB32,
                   [&](int, int) { return 0xff000000u | (random.generate() & 0xffffffu); });
}

QImage scene(int width, int height, bool withAlpha)
{
    QImage image = painted(width, height, QImage::Format_ARGB32, [&](int x, int y) {
        const int alpha = withAlpha && x < width / 2 ? 255 * y / (height - 1) : 255;
        return qRgba(40 + 170 * x / (width - 1), 50 + 150 * y / (height - 1),
                     210 - 160 * (x + y) / (width + height - 2), alpha);
    });
    // Six columns and two rows of cells; the blocks fill six of them, no two alike.
    const std::array<std::tuple<int, int, QRgb>, 6> blocks{{{0, 0, qRgb(230, 20, 20)},
                                                            {2, 0, qRgb(20, 200, 40)},
                                                            {4, 0, qRgb(30, 40, 225)},
                                                            {1, 1, qRgb(240, 220, 30)},
                                                            {4, 1, qRgb(210, 30, 200)},
                                                            {5, 1, qRgb(30, 205, 215)}}};
    const int cellWidth = width / 6;
    const int cellHeight = height / 2;
    for (const auto &[column, row, colour] : blocks) {
        for (int y = row * cellHeight + cellHeight / 4; y < (row + 1) * cellHeight - cellHeight / 4; ++y) {
            for (int x = column * cellWidth + cellWidth / 8; x < (column + 1) * cellWidth - cellWidth / 8; ++x)
                image.setPixel(x, y, (colour & 0xFFFFFF) | (QRgb(qAlpha(image.pixel(x, y))) << 24));
        }
    }
    return image;
}

void write(const QImage &image, const QString &path, const char *format, int quality)
{
    QImageWriter writer(path, format);
    writer.setQuality(quality);
    if (!writer.write(image))
        QFAIL(qPrintable(u"cannot write %1: %2"_s.arg(path, writer.errorString())));
}

QByteArray encode(const QImage &image, const char *format, int quality)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, format);
    writer.setQuality(quality);
    return writer.write(image) ? bytes : QByteArray();
}

QByteArray sha256(const QByteArray &path)
{
    // Never blocks on a FIFO that a test left where a file was.
    const int descriptor = ::open(path.constData(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (descriptor < 0)
        return {};
    QCryptographicHash hash(QCryptographicHash::Sha256);
    std::vector<char> buffer(64 * 1024);
    ssize_t count = 0;
    while ((count = ::read(descriptor, buffer.data(), buffer.size())) > 0)
        hash.addData(QByteArrayView(buffer.data(), qsizetype(count)));
    ::close(descriptor);
    return count < 0 ? QByteArray() : hash.result().toHex();
}

QByteArray sha256(const QString &path)
{
    return sha256(QFile::encodeName(path));
}

QMap<QString, QByteArray> fingerprint(const QString &folder)
{
    QMap<QString, QByteArray> prints;
    QDirIterator it(folder, QDir::Files | QDir::Hidden | QDir::System, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        prints.insert(path, sha256(path));
    }
    return prints;
}

double meanColourError(const QImage &a, const QImage &b, int cellSize)
{
    if (a.size() != b.size() || a.isNull())
        return 255.0;
    const auto cellMeans = [cellSize](const QImage &picture) {
        const QImage image = picture.convertToFormat(QImage::Format_ARGB32);
        const int columns = (image.width() + cellSize - 1) / cellSize;
        std::vector<std::array<double, 4>> cells(size_t(columns) * size_t((image.height() + cellSize - 1) / cellSize));
        for (int y = 0; y < image.height(); ++y) {
            for (int x = 0; x < image.width(); ++x) {
                const QRgb pixel = image.pixel(x, y);
                const double alpha = qAlpha(pixel) / 255.0;
                auto &cell = cells[size_t(y / cellSize) * size_t(columns) + size_t(x / cellSize)];
                for (const auto &[channel, value] : {std::pair{0, qRed(pixel)}, {1, qGreen(pixel)}, {2, qBlue(pixel)}})
                    cell[size_t(channel)] += value * alpha + 128 * (1 - alpha);
                cell[3] += 1;
            }
        }
        return cells;
    };
    const auto first = cellMeans(a);
    const auto second = cellMeans(b);
    double total = 0;
    for (size_t cell = 0; cell < first.size(); ++cell) {
        for (size_t channel = 0; channel < 3; ++channel)
            total += std::abs(first[cell][channel] - second[cell][channel]) / first[cell][3];
    }
    return total / (3.0 * double(first.size()));
}

QImage viewed(const QByteArray &bytes, const QByteArray &format)
{
    QBuffer buffer;
    buffer.setData(bytes);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer, format);
    reader.setAutoTransform(true);
    QImage image = reader.read();
    if (image.colorSpace().isValid() && image.colorSpace() != QColorSpace(QColorSpace::SRgb))
        image.convertToColorSpace(QColorSpace::SRgb);
    return image;
}

QString checkOutput(const QString &path, const QByteArray &format, QImage *decoded)
{
    const QByteArray bytes = TestFiles::readFile(path);
    const bool whole = format == "jpeg"
                           ? bytes.startsWith("\xFF\xD8\xFF") && bytes.endsWith("\xFF\xD9")
                           : bytes.startsWith("\x89PNG\r\n\x1A\n") &&
                                 bytes.endsWith(QByteArray("\0\0\0\0IEND\xAE\x42\x60\x82", 12));
    if (!whole)
        return u"%1 is not a whole %2 file (%3 bytes)"_s.arg(path, QString::fromLatin1(format)).arg(bytes.size());
    const QImage image = viewed(bytes, format);
    if (image.isNull())
        return u"%1 does not decode"_s.arg(path);
    if (decoded)
        *decoded = image;
    return {};
}

// ---- JPEG

namespace {

// Ink amounts 0-1 with grey replaced by black ink: the largest channel decides the black.
std::array<double, 4> inksWithBlack(double first, double second, double third)
{
    const double k = 1.0 - std::max({first, second, third});
    if (k >= 1.0)
        return {0.0, 0.0, 0.0, 1.0};
    return {1.0 - first / (1.0 - k), 1.0 - second / (1.0 - k), 1.0 - third / (1.0 - k), k};
}

// Inks that show `colour`: naively read, or through swappedInksProfile(), where red comes
// from magenta, green from yellow and blue from cyan.
std::array<double, 4> inksFor(QRgb colour, bool swapped)
{
    const auto inks = inksWithBlack(qRed(colour) / 255.0, qGreen(colour) / 255.0, qBlue(colour) / 255.0);
    return swapped ? std::array{inks[2], inks[0], inks[1], inks[3]} : inks;
}

// Calls `visit(offset of the marker, marker, payload)` for each segment before the first scan,
// until it returns true.
template<typename Visit> void forEachJPEGSegment(const QByteArray &jpeg, Visit visit)
{
    for (qsizetype at = 2; at + 4 <= jpeg.size() && quint8(jpeg[at]) == 0xFF;) {
        const quint8 marker = quint8(jpeg[at + 1]);
        if (marker == 0xDA || marker == 0xD9)
            return;
        const quint16 length = qFromBigEndian<quint16>(jpeg.constData() + at + 2);
        if (visit(at, marker, jpeg.mid(at + 4, length - 2)))
            return;
        at += 2 + length;
    }
}

} // namespace

QByteArray jpeg(const QImage &picture, const JPEGOptions &options)
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
    const bool ink = options.colour == JPEGOptions::cmyk || options.colour == JPEGOptions::ycck;
    info.input_components = ink ? 4 : options.colour == JPEGOptions::grey ? 1 : 3;
    info.in_color_space = ink ? JCS_CMYK : options.colour == JPEGOptions::grey ? JCS_GRAYSCALE : JCS_RGB;
    jpeg_set_defaults(&info);
    jpeg_set_quality(&info, options.quality, TRUE);
    if (options.colour == JPEGOptions::ycck)
        jpeg_set_colorspace(&info, JCS_YCCK); // with the Adobe marker that says the inks are inverted
    info.write_Adobe_marker = options.colour == JPEGOptions::ycck;
    if (options.progressive)
        jpeg_simple_progression(&info);
    info.arith_code = options.arithmetic;
    info.restart_in_rows = options.restartRows;
    for (int component = 0; options.fullChroma && component < info.num_components; ++component)
        info.comp_info[component].h_samp_factor = info.comp_info[component].v_samp_factor = 1;
    jpeg_start_compress(&info, TRUE);
    if (!options.iccProfile.isEmpty())
        jpeg_write_icc_profile(&info, reinterpret_cast<const JOCTET *>(options.iccProfile.constData()),
                               unsigned(options.iccProfile.size()));
    std::vector<JSAMPLE> row;
    while (info.next_scanline < info.image_height) {
        row.clear();
        for (int x = 0; x < picture.width(); ++x) {
            const QRgb colour = picture.pixel(x, int(info.next_scanline));
            if (options.colour == JPEGOptions::grey) {
                row.push_back(JSAMPLE(qRed(colour)));
            } else if (!ink) {
                row.insert(row.end(), {JSAMPLE(qRed(colour)), JSAMPLE(qGreen(colour)), JSAMPLE(qBlue(colour))});
            } else {
                for (const double amount : inksFor(colour, !options.iccProfile.isEmpty())) {
                    const int level = qRound(amount * 255.0);
                    row.push_back(JSAMPLE(options.colour == JPEGOptions::ycck ? 255 - level : level));
                }
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

QByteArray withFrame(const QByteArray &jpeg, quint8 marker, int precision, QSize claimed)
{
    QByteArray result = jpeg;
    forEachJPEGSegment(jpeg, [&](qsizetype at, quint8 candidate, const QByteArray &) {
        if (candidate < 0xC0 || candidate > 0xCF || candidate == 0xC4 || candidate == 0xC8 || candidate == 0xCC)
            return false;
        result[at + 1] = char(marker);
        result[at + 4] = char(precision);
        if (claimed.isValid()) {
            qToBigEndian(quint16(claimed.height()), result.data() + at + 5);
            qToBigEndian(quint16(claimed.width()), result.data() + at + 7);
        }
        return true;
    });
    return result;
}

QByteArray orientedJPEG(const QByteArray &jpeg, int orientation)
{
    // Big-endian TIFF with one IFD holding one entry: Orientation (SHORT).
    const QByteArray exif = QByteArray("Exif\0\0MM\0\x2A", 10) + bigEndian32(8) + bigEndian16(1) + bigEndian16(0x0112) +
                            bigEndian16(3) + bigEndian32(1) + bigEndian16(quint16(orientation)) + bigEndian16(0) +
                            bigEndian32(0);
    return jpeg.left(2) + QByteArray("\xFF\xE1", 2) + bigEndian16(quint16(exif.size() + 2)) + exif + jpeg.mid(2);
}

QImage storedForOrientation(const QImage &viewed, int orientation)
{
    const bool swaps = orientation >= 5;
    const int w = swaps ? viewed.height() : viewed.width();
    const int h = swaps ? viewed.width() : viewed.height();
    // Where the stored pixel (x, y) appears once the orientation is applied.
    const auto shownAt = [&](int x, int y) -> QPoint {
        switch (orientation) {
        case 2: return {w - 1 - x, y};
        case 3: return {w - 1 - x, h - 1 - y};
        case 4: return {x, h - 1 - y};
        case 5: return {y, x};
        case 6: return {h - 1 - y, x};
        case 7: return {h - 1 - y, w - 1 - x};
        case 8: return {y, w - 1 - x};
        default: return {x, y};
        }
    };
    return painted(w, h, QImage::Format_ARGB32, [&](int x, int y) { return viewed.pixel(shownAt(x, y)); });
}

// ---- PNG

QByteArray pngChunk(const QByteArray &type, const QByteArray &data)
{
    const QByteArray body = type + data;
    const auto crc = quint32(crc32(0, reinterpret_cast<const Bytef *>(body.constData()), uInt(body.size())));
    return bigEndian32(quint32(data.size())) + body + bigEndian32(crc);
}

namespace {

const QByteArray pngSignature("\x89PNG\r\n\x1A\n", 8);

} // namespace

QByteArray pngBomb(quint32 width, quint32 height, bool truncated)
{
    const QByteArray row(1 + (qsizetype(width) + 7) / 8, '\0');
    const quint32 rows = truncated ? 16 : height;
    z_stream stream{};
    deflateInit(&stream, Z_BEST_COMPRESSION);
    QByteArray compressed;
    QByteArray chunk(256 * 1024, Qt::Uninitialized);
    for (quint32 y = 0; y <= rows; ++y) {
        stream.next_in = reinterpret_cast<Bytef *>(const_cast<char *>(row.constData()));
        stream.avail_in = y == rows ? 0 : uInt(row.size());
        do {
            stream.next_out = reinterpret_cast<Bytef *>(chunk.data());
            stream.avail_out = uInt(chunk.size());
            deflate(&stream, y == rows ? Z_FINISH : Z_NO_FLUSH);
            compressed.append(chunk.constData(), chunk.size() - qsizetype(stream.avail_out));
        } while (stream.avail_out == 0);
    }
    deflateEnd(&stream);
    QByteArray header = bigEndian32(width) + bigEndian32(height) + QByteArray("\x01\x00\x00\x00\x00", 5);
    return pngSignature + pngChunk("IHDR", header) + pngChunk("IDAT", compressed) + pngChunk("IEND", {});
}

// ---- colour profiles

namespace {

QByteArray savedProfile(cmsHPROFILE profile)
{
    cmsUInt32Number size = 0;
    cmsSaveProfileToMem(profile, nullptr, &size);
    QByteArray bytes(qsizetype(size), '\0');
    cmsSaveProfileToMem(profile, bytes.data(), &size);
    cmsCloseProfile(profile);
    return bytes;
}

cmsInt32Number sampleSwappedInks(const cmsUInt16Number in[], cmsUInt16Number out[], void *toLab)
{
    const double c = in[0] / 65535.0, m = in[1] / 65535.0, y = in[2] / 65535.0, k = in[3] / 65535.0;
    const double rgb[3] = {(1.0 - m) * (1.0 - k), (1.0 - y) * (1.0 - k), (1.0 - c) * (1.0 - k)};
    cmsCIELab lab;
    cmsDoTransform(static_cast<cmsHTRANSFORM>(toLab), rgb, &lab, 1);
    cmsFloat2LabEncoded(out, &lab);
    return TRUE;
}

} // namespace

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

// ---- other containers

namespace {

// A program's output file made from the pictures saved as PNGs; absent when it fails.
std::optional<QByteArray> made(const QString &program, const QList<QImage> &images, const QString &outputName,
                               const std::function<QStringList(const QStringList &, const QString &)> &arguments)
{
    const QString path = QStandardPaths::findExecutable(program);
    QTemporaryDir scratch;
    if (path.isEmpty() || !scratch.isValid())
        return std::nullopt;
    QStringList inputs;
    for (qsizetype index = 0; index < images.size(); ++index) {
        inputs.append(scratch.filePath(u"input-%1.png"_s.arg(index)));
        if (!images[index].save(inputs.last(), "PNG"))
            return std::nullopt;
    }
    const QString output = scratch.filePath(outputName);
    const TestFiles::ProcessRun run = TestFiles::run(path, arguments(inputs, output));
    const QByteArray bytes = TestFiles::readFile(output);
    if (!run.finished || run.exitCode != 0 || bytes.isEmpty())
        return std::nullopt;
    return bytes;
}

} // namespace

std::optional<QByteArray> convert(const QList<QImage> &pictures, const QStringList &options, const QString &format)
{
    return made(u"convert"_s, pictures, u"output"_s, [&](const QStringList &inputs, const QString &output) {
        return inputs + options +
               QStringList{u"-define"_s, u"png:exclude-chunk=date,tIME,gAMA,cHRM,sRGB,bKGD"_s, format.toUpper() + u':' + output};
    });
}

QByteArray tool(const QString &program, const QMap<QString, QByteArray> &inputs, const QStringList &arguments)
{
    QTemporaryDir scratch;
    for (const auto &[name, bytes] : inputs.asKeyValueRange())
        TestFiles::writeFile(scratch.filePath(name), bytes);
    const TestFiles::ProcessRun run = TestFiles::run(program, arguments, {scratch.path()});
    return run.finished && run.exitCode == 0 ? TestFiles::readFile(scratch.filePath(u"out"_s)) : QByteArray();
}

QByteArray storedPNG(const QImage &picture)
{
    return convert({picture}, {u"-define"_s, u"png:compression-level=0"_s}, u"png"_s).value_or(QByteArray());
}

std::optional<QByteArray> heif(const QList<QImage> &images, const QStringList &options)
{
    return made(u"heif-enc"_s, images, u"output.heif"_s, [&](const QStringList &inputs, const QString &output) {
        return options + QStringList{u"-q"_s, u"80"_s, u"-o"_s, output} + inputs;
    });
}

QByteArray withClaimedHEIFSize(const QByteArray &heif, quint32 width, quint32 height)
{
    QByteArray result = heif;
    // Every ispe box: a coded image and the one cropped from it each have their own.
    for (qsizetype at = result.indexOf("ispe"); at >= 0; at = result.indexOf("ispe", at + 4))
        result.replace(at + 8, 8, QByteArray(bigEndian32(width) + bigEndian32(height))); // after version and flags
    return result;
}

QByteArray truncated(const QByteArray &bytes, double keptFraction)
{
    return bytes.left(std::max<qsizetype>(1, qsizetype(double(bytes.size()) * keptFraction)));
}

QByteArray bitFlipped(const QByteArray &bytes, int count, quint32 seed)
{
    QByteArray result = bytes;
    QRandomGenerator random(seed);
    for (int flip = 0; flip < count && !result.isEmpty(); ++flip) {
        const qsizetype at = qsizetype(random.bounded(quint32(result.size())));
        result[at] = char(quint8(result[at]) ^ (1u << random.bounded(8u)));
    }
    return result;
}

} // namespace TestImages
