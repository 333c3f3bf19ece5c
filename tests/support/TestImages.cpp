#include "TestImages.h"

#include <QBuffer>
#include <QCryptographicHash>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QImageWriter>
#include <QLinearGradient>
#include <QPainter>
#include <QProcess>
#include <QRandomGenerator>
#include <QStandardPaths>
#include <QTest>
#include <QtEndian>

#include <cmath>
#include <numbers>

#include <zlib.h>

using namespace Qt::StringLiterals;

namespace TestImages {

QImage photo(int width, int height, quint32 seed)
{
    QImage image(width, height, QImage::Format_RGB32);
    QRandomGenerator random(seed);
    for (int y = 0; y < height; ++y) {
        auto *line = reinterpret_cast<QRgb *>(image.scanLine(y));
        for (int x = 0; x < width; ++x) {
            const double fx = double(x) / width;
            const double fy = double(y) / height;
            const int grain = int(random.bounded(24)) - 12;
            const int r = int(120 + 100 * std::sin(fx * 6.0 + fy * 2.0)) + grain;
            const int g = int(110 + 90 * std::cos(fy * 5.0 - fx)) + grain;
            const int b = int(100 + 80 * std::sin((fx + fy) * 4.0)) + grain;
            line[x] = qRgb(qBound(0, r, 255), qBound(0, g, 255), qBound(0, b, 255));
        }
    }
    return image;
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
    painter.end();
    return image;
}

QImage noise(int width, int height, quint32 seed)
{
    QImage image(width, height, QImage::Format_RGB32);
    QRandomGenerator random(seed);
    for (int y = 0; y < height; ++y) {
        auto *line = reinterpret_cast<QRgb *>(image.scanLine(y));
        for (int x = 0; x < width; ++x)
            line[x] = 0xff000000u | (random.generate() & 0xffffffu);
    }
    return image;
}

void write(const QImage &image, const QString &path, const char *format, int quality)
{
    QImageWriter writer(path, format);
    if (quality >= 0)
        writer.setQuality(quality);
    if (!writer.write(image))
        QFAIL(qPrintable(u"cannot write %1: %2"_s.arg(path, writer.errorString())));
}

QByteArray sha256(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    QCryptographicHash hash(QCryptographicHash::Sha256);
    hash.addData(&file);
    return hash.result().toHex();
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

double meanColourError(const QImage &a, const QImage &b)
{
    if (a.size() != b.size() || a.isNull())
        return 255.0;
    const QImage ca = a.convertToFormat(QImage::Format_RGB32);
    const QImage cb = b.convertToFormat(QImage::Format_RGB32);
    double total = 0;
    for (int y = 0; y < ca.height(); ++y) {
        const auto *la = reinterpret_cast<const QRgb *>(ca.constScanLine(y));
        const auto *lb = reinterpret_cast<const QRgb *>(cb.constScanLine(y));
        for (int x = 0; x < ca.width(); ++x) {
            total += std::abs(qRed(la[x]) - qRed(lb[x])) + std::abs(qGreen(la[x]) - qGreen(lb[x])) +
                     std::abs(qBlue(la[x]) - qBlue(lb[x]));
        }
    }
    return total / (3.0 * ca.width() * ca.height());
}

QImage screenshot(int width, int height)
{
    // Flat panels, a gradient title bar, rows of text-like bars and rounded buttons.
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
    QImage image(width, height, QImage::Format_RGB32);
    QRandomGenerator random(seed);
    const auto grain = [&random] {
        // Box-Muller: film grain is roughly normal, with a deviation of 24 levels here.
        const double u1 = random.generateDouble();
        const double u2 = random.generateDouble();
        return 24.0 * std::sqrt(-2.0 * std::log(1.0 - u1)) * std::cos(2.0 * std::numbers::pi * u2);
    };
    for (int y = 0; y < height; ++y) {
        auto *line = reinterpret_cast<QRgb *>(image.scanLine(y));
        const double fy = double(y) / std::max(1, height - 1);
        for (int x = 0; x < width; ++x) {
            const double fx = double(x) / std::max(1, width - 1);
            const auto channel = [&](double topLeft, double topRight, double bottomLeft, double bottomRight) {
                const double value = topLeft * (1 - fx) * (1 - fy) + topRight * fx * (1 - fy) +
                                     bottomLeft * (1 - fx) * fy + bottomRight * fx * fy;
                return qBound(0, int(std::lround(value + grain())), 255);
            };
            const int r = channel(230, 250, 20, 30);
            const int g = channel(40, 220, 60, 160);
            const int b = channel(30, 40, 220, 60);
            line[x] = qRgb(r, g, b);
        }
    }
    return image;
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

static QByteArray bigEndian16(quint16 value)
{
    QByteArray bytes(2, 0);
    qToBigEndian(value, bytes.data());
    return bytes;
}

static QByteArray bigEndian32(quint32 value)
{
    QByteArray bytes(4, 0);
    qToBigEndian(value, bytes.data());
    return bytes;
}

QByteArray insertJPEGSegment(const QByteArray &jpeg, quint8 marker, const QByteArray &payload)
{
    QByteArray segment("\xFF", 1);
    segment += char(marker) + bigEndian16(quint16(payload.size() + 2)) + payload;
    return jpeg.left(2) + segment + jpeg.mid(2);
}

QByteArray exifPayload(int orientation, const QByteArray &description)
{
    // Big-endian TIFF with one IFD: Orientation (SHORT) and optionally ImageDescription (ASCII).
    const quint16 entries = description.isEmpty() ? 1 : 2;
    const quint32 dataOffset = 8 + 2 + entries * 12 + 4;
    QByteArray tiff("MM\0\x2A", 4);
    tiff += bigEndian32(8) + bigEndian16(entries);
    if (!description.isEmpty()) {
        const QByteArray text = description + '\0';
        tiff += bigEndian16(0x010E) + bigEndian16(2) + bigEndian32(quint32(text.size())) + bigEndian32(dataOffset);
    }
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

// Calls `visit(marker, payload)` for each segment before the first scan.
template<typename Visit> static void forEachJPEGSegment(const QByteArray &jpeg, Visit visit)
{
    qsizetype at = 2;
    while (at + 4 <= jpeg.size() && quint8(jpeg[at]) == 0xFF) {
        const quint8 marker = quint8(jpeg[at + 1]);
        if (marker == 0xDA || marker == 0xD9)
            return;
        const quint16 length = qFromBigEndian<quint16>(jpeg.constData() + at + 2);
        if (visit(marker, jpeg.mid(at + 4, length - 2)))
            return;
        at += 2 + length;
    }
}

bool hasJPEGSegment(const QByteArray &jpeg, quint8 marker, const QByteArray &prefix)
{
    bool found = false;
    forEachJPEGSegment(jpeg, [&](quint8 candidate, const QByteArray &payload) {
        found = candidate == marker && payload.startsWith(prefix);
        return found;
    });
    return found;
}

QByteArray firstQuantisationTable(const QByteArray &jpeg)
{
    QByteArray table;
    forEachJPEGSegment(jpeg, [&](quint8 marker, const QByteArray &payload) {
        if (marker != 0xDB || payload.isEmpty() || (quint8(payload[0]) >> 4) != 0) // 8-bit entries only
            return false;
        table = payload.mid(1, 64);
        return true;
    });
    return table;
}

static QByteArray pngChunk(const QByteArray &type, const QByteArray &data)
{
    const QByteArray body = type + data;
    const quint32 crc = quint32(crc32(0, reinterpret_cast<const Bytef *>(body.constData()), uInt(body.size())));
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
    for (qsizetype at = 8; at + 8 <= png.size();) {
        const quint32 length = qFromBigEndian<quint32>(png.constData() + at);
        types.append(png.mid(at + 4, 4));
        at += 12 + qsizetype(length);
    }
    return types;
}

std::pair<int, int> pngDepthAndColourType(const QByteArray &png)
{
    if (png.size() < 26)
        return {0, 0};
    return {quint8(png[24]), quint8(png[25])};
}

QByteArray pngICCPData(const QByteArray &iccProfile)
{
    // qCompress prefixes the zlib stream with its uncompressed length.
    return QByteArray("test\0\0", 6) + qCompress(iccProfile).mid(4);
}

QByteArray pngBomb(quint32 width, quint32 height, bool truncated)
{
    QByteArray header = bigEndian32(width) + bigEndian32(height);
    header += QByteArray("\x01\x00\x00\x00\x00", 5); // 1-bit grey, no interlace
    const QByteArray row(1 + (qsizetype(width) + 7) / 8, '\0');
    const quint32 rows = truncated ? 16 : height;

    z_stream stream{};
    deflateInit(&stream, Z_BEST_COMPRESSION);
    QByteArray compressed;
    QByteArray chunk(256 * 1024, Qt::Uninitialized);
    for (quint32 y = 0; y <= rows; ++y) {
        const bool last = y == rows;
        stream.next_in = reinterpret_cast<Bytef *>(const_cast<char *>(row.constData()));
        stream.avail_in = last ? 0 : uInt(row.size());
        do {
            stream.next_out = reinterpret_cast<Bytef *>(chunk.data());
            stream.avail_out = uInt(chunk.size());
            deflate(&stream, last ? Z_FINISH : Z_NO_FLUSH);
            compressed.append(chunk.constData(), chunk.size() - qsizetype(stream.avail_out));
        } while (stream.avail_out == 0);
    }
    deflateEnd(&stream);
    return QByteArray("\x89PNG\r\n\x1A\n", 8) + pngChunk("IHDR", header) + pngChunk("IDAT", compressed) +
           pngChunk("IEND", {});
}

QByteArray gif(const QImage &image)
{
    const QImage source = image.convertToFormat(QImage::Format_RGB32);
    QByteArray bytes("GIF89a", 6);
    const auto little16 = [&](int value) {
        bytes += char(value & 0xFF);
        bytes += char(value >> 8);
    };
    little16(source.width());
    little16(source.height());
    bytes += QByteArray("\xF7\x00\x00", 3); // global colour table of 256 entries
    for (int index = 0; index < 256; ++index) {
        bytes += char((index >> 5) * 255 / 7);
        bytes += char(((index >> 2) & 7) * 255 / 7);
        bytes += char((index & 3) * 255 / 3);
    }
    bytes += ',';
    little16(0);
    little16(0);
    little16(source.width());
    little16(source.height());
    bytes += '\0';
    // LZW without compression: 9-bit codes, a clear code before the table would grow.
    constexpr int clear = 256;
    constexpr int end = 257;
    QByteArray packed;
    quint32 bitBuffer = 0;
    int bitCount = 0;
    const auto putCode = [&](int code) {
        bitBuffer |= quint32(code) << bitCount;
        for (bitCount += 9; bitCount >= 8; bitCount -= 8, bitBuffer >>= 8)
            packed += char(bitBuffer & 0xFF);
    };
    int sinceClear = 0;
    putCode(clear);
    for (int y = 0; y < source.height(); ++y) {
        for (int x = 0; x < source.width(); ++x) {
            const QRgb pixel = source.pixel(x, y);
            putCode((qRed(pixel) >> 5) << 5 | (qGreen(pixel) >> 5) << 2 | qBlue(pixel) >> 6);
            if (++sinceClear == 250) {
                putCode(clear);
                sinceClear = 0;
            }
        }
    }
    putCode(end);
    if (bitCount > 0)
        packed += char(bitBuffer & 0xFF);
    bytes += char(8); // minimum code size
    for (qsizetype at = 0; at < packed.size(); at += 255) {
        const QByteArray block = packed.mid(at, 255);
        bytes += char(block.size()) + block;
    }
    bytes += '\0';
    bytes += ';';
    return bytes;
}

std::optional<QByteArray> encodeHEIC(const QImage &image, const QString &scratchFolder)
{
    const QString program = QStandardPaths::findExecutable(u"heif-enc"_s);
    if (program.isEmpty())
        return std::nullopt;
    const QDir scratch(scratchFolder);
    const QString input = scratch.filePath(u"heif-input.png"_s);
    const QString output = scratch.filePath(u"heif-output.heic"_s);
    if (!image.save(input, "PNG"))
        return std::nullopt;
    QProcess encoder;
    encoder.start(program, {u"-q"_s, u"80"_s, input, u"-o"_s, output});
    const bool encoded =
        encoder.waitForFinished(120000) && encoder.exitStatus() == QProcess::NormalExit && encoder.exitCode() == 0;
    QFile file(output);
    const QByteArray bytes = file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    QFile::remove(input);
    QFile::remove(output);
    if (!encoded || bytes.isEmpty())
        return std::nullopt;
    return bytes;
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

QByteArray withClaimedSize(const QByteArray &heif, quint32 width, quint32 height)
{
    QByteArray result = heif;
    // Every ispe box: a coded image and the one cropped from it each have their own.
    for (qsizetype at = result.indexOf("ispe"); at >= 0; at = result.indexOf("ispe", at + 4))
        result.replace(at + 8, 8, QByteArray(bigEndian32(width) + bigEndian32(height))); // after version and flags
    return result;
}

} // namespace TestImages
