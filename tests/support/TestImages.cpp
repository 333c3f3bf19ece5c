#include "TestImages.h"

#include "TestFiles.h"

#include <QBuffer>
#include <QColorSpace>
#include <QCryptographicHash>
#include <QDirIterator>
#include <QImageReader>
#include <QImageWriter>
#include <QLinearGradient>
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

QImage screenshot(int width, int height)
{
    QImage image(width, height, QImage::Format_RGB32);
    image.fill(QColor(236, 238, 241));
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    QLinearGradient titleBar(0, 0, 0, 36);
    titleBar.setColorAt(0, QColor(70, 110, 180));
    titleBar.setColorAt(1, QColor(40, 70, 130));
    painter.fillRect(QRect(0, 0, width, 36), titleBar);
    painter.fillRect(QRect(0, 36, 180, height - 36), QColor(48, 52, 60));
    for (int row = 0; row < 14; ++row) {
        painter.fillRect(QRect(16, 56 + row * 24, 60 + (row * 37) % 90, 8), QColor(210, 214, 222));
        painter.fillRect(QRect(200, 56 + row * 24, 200 + (row * 53) % 300, 8), QColor(30, 30, 30));
    }
    painter.setPen(Qt::NoPen);
    for (int button = 0; button < 3; ++button) {
        painter.setBrush(QColor::fromHsv(button * 110, 180, 200));
        painter.drawRoundedRect(QRect(200 + button * 130, height - 60, 110, 34), 6, 6);
    }
    return image;
}

QImage grainyGradient(int width, int height, quint32 seed)
{
    QRandomGenerator random(seed);
    return painted(width, height, QImage::Format_RGB32, [&](int x, int y) {
        const double fx = double(x) / std::max(1, width - 1);
        const double fy = double(y) / std::max(1, height - 1);
        const auto channel = [&](double topLeft, double topRight, double bottomLeft, double bottomRight) {
            // Film grain is roughly normal (Box-Muller), with a deviation of 24 levels here.
            const double u1 = random.generateDouble();
            const double u2 = random.generateDouble();
            const double grain = 24.0 * std::sqrt(-2.0 * std::log(1.0 - u1)) * std::cos(2.0 * std::numbers::pi * u2);
            const double value = topLeft * (1 - fx) * (1 - fy) + topRight * fx * (1 - fy) + bottomLeft * (1 - fx) * fy +
                                 bottomRight * fx * fy;
            return qBound(0, int(std::lround(value + grain)), 255);
        };
        const int r = channel(230, 250, 20, 30);
        const int g = channel(40, 220, 60, 160);
        return qRgb(r, g, channel(30, 40, 220, 60));
    });
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

QImage grey(const QImage &picture)
{
    return painted(picture.width(), picture.height(), QImage::Format_ARGB32, [&](int x, int y) {
        const QRgb pixel = picture.pixel(x, y);
        const int level = qRound(0.299 * qRed(pixel) + 0.587 * qGreen(pixel) + 0.114 * qBlue(pixel));
        return qRgba(level, level, level, qAlpha(pixel));
    });
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

QByteArray insertJPEGSegment(const QByteArray &jpeg, quint8 marker, const QByteArray &payload)
{
    return jpeg.left(2) + QByteArray("\xFF", 1) + char(marker) + bigEndian16(quint16(payload.size() + 2)) + payload +
           jpeg.mid(2);
}

QByteArray exifPayload(int orientation, const QByteArray &description)
{
    // Big-endian TIFF with one IFD: Orientation (SHORT) and optionally ImageDescription (ASCII).
    const quint16 entries = description.isEmpty() ? 1 : 2;
    const quint32 dataOffset = 8 + 2 + entries * 12 + 4;
    QByteArray tiff("MM\0\x2A", 4);
    tiff += bigEndian32(8) + bigEndian16(entries);
    if (!description.isEmpty())
        tiff += bigEndian16(0x010E) + bigEndian16(2) + bigEndian32(quint32(description.size() + 1)) +
                bigEndian32(dataOffset);
    tiff += bigEndian16(0x0112) + bigEndian16(3) + bigEndian32(1) + bigEndian16(quint16(orientation)) + bigEndian16(0);
    tiff += bigEndian32(0);
    if (!description.isEmpty())
        tiff += description + '\0';
    return QByteArray("Exif\0\0", 6) + tiff;
}

QByteArray orientedJPEG(const QImage &image, int orientation, int quality)
{
    return insertJPEGSegment(encode(image, "jpeg", quality), 0xE1, exifPayload(orientation));
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

bool hasJPEGSegment(const QByteArray &jpeg, quint8 marker, const QByteArray &prefix)
{
    bool found = false;
    forEachJPEGSegment(jpeg, [&](qsizetype, quint8 candidate, const QByteArray &payload) {
        return found = candidate == marker && payload.startsWith(prefix);
    });
    return found;
}

QByteArray firstQuantisationTable(const QByteArray &jpeg)
{
    QByteArray table;
    forEachJPEGSegment(jpeg, [&](qsizetype, quint8 marker, const QByteArray &payload) {
        if (marker != 0xDB || payload.isEmpty() || (quint8(payload[0]) >> 4) != 0) // 8-bit entries only
            return false;
        table = payload.mid(1, 64);
        return true;
    });
    return table;
}

// ---- PNG

QByteArray pngChunk(const QByteArray &type, const QByteArray &data)
{
    const QByteArray body = type + data;
    const auto crc = quint32(crc32(0, reinterpret_cast<const Bytef *>(body.constData()), uInt(body.size())));
    return bigEndian32(quint32(data.size())) + body + bigEndian32(crc);
}

QByteArray insertPNGChunk(const QByteArray &png, const QByteArray &type, const QByteArray &data)
{
    constexpr qsizetype afterIHDR = 8 + 4 + 4 + 13 + 4;
    return png.left(afterIHDR) + pngChunk(type, data) + png.mid(afterIHDR);
}

QList<QByteArray> pngChunkTypes(const QByteArray &png)
{
    QList<QByteArray> types;
    for (qsizetype at = 8; at + 8 <= png.size(); at += 12 + qsizetype(qFromBigEndian<quint32>(png.constData() + at)))
        types.append(png.mid(at + 4, 4));
    return types;
}

std::pair<int, int> pngDepthAndColourType(const QByteArray &png)
{
    return png.size() < 26 ? std::pair{0, 0} : std::pair{int(quint8(png[24])), int(quint8(png[25]))};
}

QByteArray pngICCPData(const QByteArray &iccProfile)
{
    return QByteArray("test\0\0", 6) + qCompress(iccProfile).mid(4); // without qCompress's length prefix
}

namespace {

const QByteArray pngSignature("\x89PNG\r\n\x1A\n", 8);

QByteArray zlibStored(const QByteArray &bytes)
{
    uLongf size = compressBound(uLong(bytes.size()));
    QByteArray stream(qsizetype(size), '\0');
    compress2(reinterpret_cast<Bytef *>(stream.data()), &size, reinterpret_cast<const Bytef *>(bytes.constData()),
              uLong(bytes.size()), Z_NO_COMPRESSION);
    stream.resize(qsizetype(size));
    return stream;
}

// The palette of colour type 3: a 6x6x6 cube, or with alpha a 4x4x4 cube at four opacities.
QList<QRgb> cubePalette(bool withAlpha)
{
    QList<QRgb> palette;
    for (int index = 0; index < (withAlpha ? 256 : 216); ++index)
        palette.append(withAlpha ? qRgba(index / 16 % 4 * 85, index / 4 % 4 * 85, index % 4 * 85, index / 64 * 85)
                                 : qRgb(index / 36 * 51, index / 6 % 6 * 51, index % 6 * 51));
    return palette;
}

// The samples of one pixel at the layout's depth, and the colour they describe.
std::pair<QList<quint16>, QRgb> samplesOf(QRgb pixel, const PNGLayout &layout, bool paletteAlpha, int x, int y)
{
    const int depth = layout.bitDepth;
    const int top = (1 << depth) - 1;
    const auto sample = [&](int value, bool exact) {
        if (depth != 16)
            return quint16(qRound(value * top / 255.0));
        return quint16(exact ? value * 257 : std::clamp(value * 257 + (x * 13 + y * 29) % 101 - 50, 0, 65535));
    };
    const auto level = [&](quint16 value) { return depth == 16 ? qRound(value / 257.0) : qRound(value * 255.0 / top); };
    const int g = qRound(0.299 * qRed(pixel) + 0.587 * qGreen(pixel) + 0.114 * qBlue(pixel));
    switch (layout.colourType) {
    case 0:
        return {{sample(g, false)}, qRgb(level(sample(g, false)), level(sample(g, false)), level(sample(g, false)))};
    case 4: {
        const quint16 s = sample(g, false), a = sample(qAlpha(pixel), true);
        return {{s, a}, qRgba(level(s), level(s), level(s), level(a))};
    }
    case 3: {
        const int steps = paletteAlpha ? 85 : 51;
        const int r = qRound(qRed(pixel) / double(steps)), gr = qRound(qGreen(pixel) / double(steps)),
                  b = qRound(qBlue(pixel) / double(steps));
        const int index = paletteAlpha ? qRound(qAlpha(pixel) / 85.0) * 64 + r * 16 + gr * 4 + b : r * 36 + gr * 6 + b;
        return {{quint16(index)}, cubePalette(paletteAlpha)[index]};
    }
    default: {
        QList<quint16> samples{sample(qRed(pixel), false), sample(qGreen(pixel), false), sample(qBlue(pixel), false)};
        if (layout.colourType == 6)
            samples.append(sample(qAlpha(pixel), true));
        return {samples, qRgba(level(samples[0]), level(samples[1]), level(samples[2]),
                               samples.size() == 4 ? level(samples[3]) : 255)};
    }
    }
}

// Filtered (filter None) scanlines, pass by pass when interlaced.
bool isTranslucent(const QImage &picture)
{
    for (int y = 0; y < picture.height(); ++y) {
        for (int x = 0; x < picture.width(); ++x) {
            if (qAlpha(picture.pixel(x, y)) != 255)
                return true;
        }
    }
    return false;
}

QByteArray scanlines(const QImage &picture, const PNGLayout &layout, QImage *shown)
{
    const bool paletteAlpha = isTranslucent(picture);
    if (shown)
        *shown = QImage(picture.size(), QImage::Format_ARGB32);
    const auto line = [&](int y, int firstX, int stepX) {
        QByteArray bytes(1, '\0');
        quint32 packed = 0;
        int packedBits = 0;
        for (int x = firstX; x < picture.width(); x += stepX) {
            const auto [samples, colour] = samplesOf(picture.pixel(x, y), layout, paletteAlpha, x, y);
            if (shown)
                shown->setPixel(x, y, colour);
            for (const quint16 value : samples) {
                if (layout.bitDepth == 16) {
                    bytes += bigEndian16(value);
                } else if (layout.bitDepth == 8) {
                    bytes += char(value);
                } else if (packed = packed << layout.bitDepth | value; (packedBits += layout.bitDepth) == 8) {
                    bytes += char(packed);
                    packed = packedBits = 0;
                }
            }
        }
        if (packedBits > 0)
            bytes += char(packed << (8 - packedBits));
        return bytes;
    };
    QByteArray data;
    constexpr std::array<std::array<int, 4>, 7> adam7{{{0, 0, 8, 8}, {4, 0, 8, 8}, {0, 4, 4, 8}, {2, 0, 4, 4},
                                                       {0, 2, 2, 4}, {1, 0, 2, 2}, {0, 1, 1, 2}}};
    for (const auto &[x0, y0, dx, dy] : layout.interlaced ? adam7 : decltype(adam7){{{0, 0, 1, 1}}}) {
        if (dx == 0 || x0 >= picture.width())
            continue;
        for (int y = y0; y < picture.height(); y += dy)
            data += line(y, x0, dx);
    }
    return data;
}

QByteArray ihdr(const PNGLayout &layout, int width, int height)
{
    return pngChunk("IHDR", bigEndian32(quint32(width)) + bigEndian32(quint32(height)) + char(layout.bitDepth) +
                                char(layout.colourType) + QByteArray(2, '\0') + char(layout.interlaced ? 1 : 0));
}

} // namespace

QByteArray png(const QImage &picture, PNGLayout layout, const QByteArray &beforeData, const QByteArray &afterData,
               QImage *shown)
{
    QByteArray palette;
    if (layout.colourType == 3) {
        QByteArray colours;
        QByteArray opacities;
        for (const QRgb colour : cubePalette(isTranslucent(picture))) {
            colours.append(char(qRed(colour))).append(char(qGreen(colour))).append(char(qBlue(colour)));
            opacities += char(qAlpha(colour));
        }
        palette = pngChunk("PLTE", colours) + (isTranslucent(picture) ? pngChunk("tRNS", opacities) : QByteArray());
    }
    return pngSignature + ihdr(layout, picture.width(), picture.height()) + beforeData + palette +
           pngChunk("IDAT", zlibStored(scanlines(picture, layout, shown))) + afterData + pngChunk("IEND", {});
}

QByteArray animatedPNG(const QImage &picture)
{
    const auto frameControl = [&](quint32 sequence) {
        return pngChunk("fcTL", bigEndian32(sequence) + bigEndian32(quint32(picture.width())) +
                                    bigEndian32(quint32(picture.height())) + bigEndian32(0) + bigEndian32(0) +
                                    bigEndian16(1) + bigEndian16(10) + QByteArray(2, '\0'));
    };
    QImage negative = picture.convertToFormat(QImage::Format_ARGB32);
    negative.invertPixels();
    const QByteArray second = bigEndian32(2) + zlibStored(scanlines(negative, {6, 8}, nullptr));
    return png(picture, {6, 8}, pngChunk("acTL", bigEndian32(2) + bigEndian32(0)) + frameControl(0),
               frameControl(1) + pngChunk("fdAT", second));
}

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

QByteArray linearGreyProfile()
{
    cmsToneCurve *linear = cmsBuildGamma(nullptr, 1.0);
    const QByteArray profile = savedProfile(cmsCreateGrayProfile(cmsD50_xyY(), linear));
    cmsFreeToneCurve(linear);
    return profile;
}

// ---- other containers

QByteArray gif(const QImage &image)
{
    const QImage source = image.convertToFormat(QImage::Format_RGB32);
    QByteArray bytes("GIF89a", 6);
    const auto little16 = [&](int value) { bytes.append(char(value & 0xFF)).append(char(value >> 8)); };
    little16(source.width());
    little16(source.height());
    bytes += QByteArray("\xF7\x00\x00", 3); // a global table of 256 colours: 3-3-2 bits
    for (int index = 0; index < 256; ++index)
        bytes.append(char((index >> 5) * 255 / 7)).append(char(((index >> 2) & 7) * 255 / 7)).append(char((index & 3) * 255 / 3));
    bytes += ',';
    little16(0);
    little16(0);
    little16(source.width());
    little16(source.height());
    bytes += '\0';
    // LZW without compression: 9-bit codes, a clear code before the table would grow.
    QByteArray packed;
    quint32 bitBuffer = 0;
    int bitCount = 0;
    const auto putCode = [&](int code) {
        bitBuffer |= quint32(code) << bitCount;
        for (bitCount += 9; bitCount >= 8; bitCount -= 8, bitBuffer >>= 8)
            packed += char(bitBuffer & 0xFF);
    };
    putCode(256);
    for (int at = 0; at < source.width() * source.height(); ++at) {
        const QRgb pixel = source.pixel(at % source.width(), at / source.width());
        putCode((qRed(pixel) >> 5) << 5 | (qGreen(pixel) >> 5) << 2 | qBlue(pixel) >> 6);
        if (at % 250 == 249)
            putCode(256);
    }
    putCode(257);
    if (bitCount > 0)
        packed += char(bitBuffer & 0xFF);
    bytes += char(8); // minimum code size
    for (qsizetype at = 0; at < packed.size(); at += 255)
        bytes.append(char(packed.mid(at, 255).size())).append(packed.mid(at, 255));
    return bytes + QByteArray("\0;", 2);
}

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

std::optional<QByteArray> heif(const QList<QImage> &images, const QStringList &options)
{
    return made(u"heif-enc"_s, images, u"output.heif"_s, [&](const QStringList &inputs, const QString &output) {
        return options + QStringList{u"-q"_s, u"80"_s, u"-o"_s, output} + inputs;
    });
}

QByteArray replaceBrand(const QByteArray &heif, const QByteArray &from, const QByteArray &to)
{
    QByteArray result = heif;
    const qsizetype boxSize = qsizetype(qFromBigEndian<quint32>(heif.constData()));
    for (qsizetype at = 8; at + 4 <= boxSize; at += 4) {
        if (result.mid(at, 4) == from)
            result.replace(at, 4, to);
    }
    return result;
}

QByteArray withClaimedHEIFSize(const QByteArray &heif, quint32 width, quint32 height)
{
    QByteArray result = heif;
    // Every ispe box: a coded image and the one cropped from it each have their own.
    for (qsizetype at = result.indexOf("ispe"); at >= 0; at = result.indexOf("ispe", at + 4))
        result.replace(at + 8, 8, QByteArray(bigEndian32(width) + bigEndian32(height))); // after version and flags
    return result;
}

std::optional<QByteArray> multiPageTIFF(const QList<QImage> &pages)
{
    return made(u"convert"_s, pages, u"pages.tif"_s,
                [](const QStringList &inputs, const QString &output) { return inputs + QStringList{output}; });
}

QByteArray withClaimedTIFFSize(const QByteArray &tiff, quint16 width, quint16 height)
{
    QByteArray result = tiff;
    const bool little = result.startsWith("II");
    const auto read = [&](qsizetype at, int bytes) -> quint32 {
        if (bytes == 2)
            return little ? qFromLittleEndian<quint16>(result.constData() + at)
                          : qFromBigEndian<quint16>(result.constData() + at);
        return little ? qFromLittleEndian<quint32>(result.constData() + at)
                      : qFromBigEndian<quint32>(result.constData() + at);
    };
    const qsizetype ifd = qsizetype(read(4, 4));
    for (quint32 index = 0; index < read(ifd, 2); ++index) {
        const qsizetype entry = ifd + 2 + qsizetype(index) * 12;
        const quint32 tag = read(entry, 2);
        if (tag != 256 && tag != 257)
            continue;
        const quint16 value = tag == 256 ? width : height;
        char *field = result.data() + entry + 8;
        const bool isShort = read(entry + 2, 2) == 3;
        if (little)
            isShort ? qToLittleEndian(value, field) : qToLittleEndian(quint32(value), field);
        else
            isShort ? qToBigEndian(value, field) : qToBigEndian(quint32(value), field);
    }
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
