#pragma once

#include <QByteArray>
#include <QColor>
#include <QImage>
#include <QList>
#include <QMap>
#include <QString>

#include <optional>

// Fixtures made at run time: deterministic pictures, files assembled byte by byte where Qt's
// writers cannot say what a test needs (EXIF orientation, embedded profiles, brands, bombs), and
// fingerprints that prove sources were left untouched.
namespace TestImages {

// A photo-like picture: smooth gradients plus seeded noise, so encoders have real work to do.
QImage photo(int width, int height, quint32 seed = 1);
// A picture with a transparent background and a soft-edged opaque shape.
QImage transparentGraphic(int width, int height);
// Uniform random noise, which no encoder can shrink much.
QImage noise(int width, int height, quint32 seed = 7);
// A desktop-like screenshot: flat panels, gradients, buttons and text. pngquant reaches its
// quality bounds on it with room to spare.
QImage screenshot(int width, int height);
// A smooth gradient under heavy photographic grain: pngquant cannot bring it to quality 60.
QImage grainyGradient(int width, int height, quint32 seed = 42);

// Writes `image` to `path` in `format` ("jpeg", "png", "tiff", "webp", "bmp"); quality as in
// QImageWriter. Fails the calling test when the write fails.
void write(const QImage &image, const QString &path, const char *format, int quality = -1);
// The image encoded by Qt's writer; empty when it cannot be written.
QByteArray encode(const QImage &image, const char *format, int quality = -1);

QByteArray sha256(const QString &path);
// path -> sha256 of every regular file below `folder`.
QMap<QString, QByteArray> fingerprint(const QString &folder);
// Mean absolute difference per channel (0-255) between two equally sized images, compared as RGB.
double meanColourError(const QImage &a, const QImage &b);

// A JPEG with a marker segment (APPn, COM) inserted right after its start-of-image marker.
QByteArray insertJPEGSegment(const QByteArray &jpeg, quint8 marker, const QByteArray &payload);
// An APP1 Exif payload with an orientation tag (1-8) and, when given, an ImageDescription text.
QByteArray exifPayload(int orientation, const QByteArray &description = {});
// A JPEG of `image` that carries EXIF orientation `orientation`.
QByteArray orientedJPEG(const QImage &image, int orientation, int quality = 95);
// Whether a JPEG has a marker segment whose payload starts with `prefix` (before its scan).
bool hasJPEGSegment(const QByteArray &jpeg, quint8 marker, const QByteArray &prefix = {});
// The payload of the first quantisation table (64 entries, zig-zag order), empty when absent.
QByteArray firstQuantisationTable(const QByteArray &jpeg);

// A PNG with a chunk inserted right after IHDR (its CRC computed).
QByteArray insertPNGChunk(const QByteArray &png, const QByteArray &type, const QByteArray &data);
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
// An HEIF file with every `from` brand of its ftyp box replaced by `to`.
QByteArray replaceBrand(const QByteArray &heif, const QByteArray &from, const QByteArray &to);
// An HEIF file whose ispe boxes claim another size than its pixels have.
QByteArray withClaimedSize(const QByteArray &heif, quint32 width, quint32 height);

} // namespace TestImages
