#pragma once

#include <QByteArray>
#include <QImage>
#include <QString>
#include <QStringList>

#include <optional>

// Fixtures for the codec, detection, service and command-line tests: files assembled byte by
// byte where Qt's writers cannot say what we need (EXIF orientation, embedded profiles, brands,
// decompression bombs), and the way to the built programs.
namespace CodecFixtures {

QByteArray readFile(const QString &path);
bool writeFile(const QString &path, const QByteArray &bytes);
// The image encoded by Qt's writer ("jpeg", "png", "tiff", ...); quality as in QImageWriter.
QByteArray encode(const QImage &image, const char *format, int quality = -1);

// A JPEG with a marker segment (APPn, COM) inserted right after its start-of-image marker.
QByteArray insertJPEGSegment(const QByteArray &jpeg, quint8 marker, const QByteArray &payload);
// An APP1 Exif payload with an orientation tag (1-8) and, when given, an ImageDescription text.
QByteArray exifPayload(int orientation, const QByteArray &description = {});
// A JPEG carrying `iccProfile` in APP2 segments.
QByteArray withJPEGICCProfile(const QByteArray &jpeg, const QByteArray &iccProfile);
// Whether a JPEG has a marker segment whose payload starts with `prefix` (before its scan).
bool hasJPEGSegment(const QByteArray &jpeg, quint8 marker, const QByteArray &prefix = {});
// The payload of the first quantisation table (64 entries, zig-zag order), empty when absent.
QByteArray firstQuantisationTable(const QByteArray &jpeg);

// A PNG with a chunk inserted right after IHDR (its CRC computed).
QByteArray insertPNGChunk(const QByteArray &png, const QByteArray &type, const QByteArray &data);
// The chunk types of a PNG, in order.
QList<QByteArray> pngChunkTypes(const QByteArray &png);
// A PNG's bit depth and colour type, from IHDR.
std::pair<int, int> pngDepthAndColourType(const QByteArray &png);
// A PNG iCCP chunk's data for `iccProfile`.
QByteArray pngICCPData(const QByteArray &iccProfile);
// A valid 1-bit grey PNG of the given size, made of zeros: a few hundred kilobytes that claim
// billions of pixels. truncated: only the first rows' data, a few kilobytes.
QByteArray pngBomb(quint32 width, quint32 height, bool truncated = false);

// The image as a GIF (Qt reads GIFs but cannot write them), its colours cut to 3-3-2 bits.
QByteArray gif(const QImage &image);

// The image as HEIC, made by heif-enc; absent when heif-enc or its HEVC encoder is missing.
std::optional<QByteArray> encodeHEIC(const QImage &image, const QString &scratchFolder);
// An HEIF file with every `from` brand of its ftyp box replaced by `to` (same length, so the
// offsets inside the file stay right).
QByteArray replaceBrand(const QByteArray &heif, const QByteArray &from, const QByteArray &to);
// An HEIF file whose ispe boxes claim another size than its pixels have.
QByteArray withClaimedSize(const QByteArray &heif, quint32 width, quint32 height);

// The build tree's directory (PRESSEL_BUILD_DIR) and its pressel-cli.
QString buildDir();
QString presselCLI();

// Names of the entries of a folder, sorted, hidden ones included.
QStringList entryNames(const QString &folder);

} // namespace CodecFixtures
