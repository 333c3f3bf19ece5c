#include "CodecFixtures.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QImageWriter>
#include <QProcess>
#include <QStandardPaths>
#include <QtEndian>

#include <zlib.h>

namespace CodecFixtures {

QByteArray readFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

bool writeFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(bytes) == bytes.size();
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

QByteArray withJPEGICCProfile(const QByteArray &jpeg, const QByteArray &iccProfile)
{
    constexpr qsizetype chunkSize = 65000;
    const int count = int((iccProfile.size() + chunkSize - 1) / chunkSize);
    QByteArray result = jpeg;
    // Inserted last to first, each right after the start marker, so they end up in order.
    for (int index = count - 1; index >= 0; --index) {
        QByteArray payload("ICC_PROFILE\0", 12);
        payload += char(index + 1);
        payload += char(count);
        payload += iccProfile.mid(index * chunkSize, chunkSize);
        result = insertJPEGSegment(result, 0xE2, payload);
    }
    return result;
}

// Calls `visit(marker, payload)` for each segment before the first scan.
template<typename Visit>
static void forEachJPEGSegment(const QByteArray &jpeg, Visit visit)
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
    return QByteArray("\x89PNG\r\n\x1A\n", 8) + pngChunk("IHDR", header) + pngChunk("IDAT", compressed)
        + pngChunk("IEND", {});
}

QByteArray gif(const QImage &image)
{
    const QImage source = image.convertToFormat(QImage::Format_RGB32);
    QByteArray bytes("GIF89a", 6);
    const auto little16 = [&](int value) { bytes += char(value & 0xFF); bytes += char(value >> 8); };
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
    const QString program = QStandardPaths::findExecutable(QStringLiteral("heif-enc"));
    if (program.isEmpty())
        return std::nullopt;
    const QDir scratch(scratchFolder);
    const QString input = scratch.filePath(QStringLiteral("heif-input.png"));
    const QString output = scratch.filePath(QStringLiteral("heif-output.heic"));
    if (!image.save(input, "PNG"))
        return std::nullopt;
    QProcess encoder;
    encoder.start(program, {QStringLiteral("-q"), QStringLiteral("80"), input, QStringLiteral("-o"), output});
    const bool encoded = encoder.waitForFinished(120000) && encoder.exitStatus() == QProcess::NormalExit
        && encoder.exitCode() == 0;
    const QByteArray bytes = readFile(output);
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

QString buildDir()
{
    return qEnvironmentVariable("PRESSEL_BUILD_DIR");
}

QString presselCLI()
{
    return QDir(buildDir()).filePath(QStringLiteral("bin/pressel-cli"));
}

QStringList entryNames(const QString &folder)
{
    return QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Name);
}

} // namespace CodecFixtures
