// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QImage>
#include <QList>
#include <QMap>
#include <QSize>
#include <QString>
#include <QStringList>

#include <optional>

// Pictures and files made at run time: deterministic pictures, files made by libjpeg and
// ImageMagick or assembled byte by byte where Qt's writers cannot say what a test needs (CMYK,
// EXIF orientation, profiles, every PNG layout, bombs), and fingerprints that prove sources
// were left untouched.
namespace TestImages {

// A photo-like picture: smooth gradients plus seeded noise, so encoders have real work to do.
QImage photo(int width, int height, quint32 seed = 1);
// A picture with a transparent background and a soft-edged opaque shape.
QImage transparentGraphic(int width, int height);
// Uniform random noise, which no encoder can shrink much.
QImage noise(int width, int height, quint32 seed = 7);
// Gradients under saturated blocks laid out without symmetry, so that a turn, a mirror or a
// colour shift moves many pixels far. With alpha the left half fades in from the top.
QImage scene(int width, int height, bool withAlpha = false);
// Writes `image` to `path` in `format`; fails the calling test when the write fails.
void write(const QImage &image, const QString &path, const char *format, int quality = -1);
// The image encoded by Qt's writer; empty when it cannot be written.
QByteArray encode(const QImage &image, const char *format, int quality = -1);

// SHA-256 of a file's bytes, the path taken as the file system's bytes; empty when unreadable.
QByteArray sha256(const QByteArray &path);
QByteArray sha256(const QString &path);
// path -> sha256 of every regular file below `folder`.
QMap<QString, QByteArray> fingerprint(const QString &folder);
// Mean absolute difference per channel (0-255) of two pictures seen over mid-grey, so that the
// colour under transparent pixels counts for nothing. With a cell size above 1 each cell's mean
// colour is compared: lossy noise averages out, a colour shift or a turn does not.
double meanColourError(const QImage &a, const QImage &b, int cellSize = 1);
// The picture a colour-managed viewer shows for these bytes: upright, in sRGB.
QImage viewed(const QByteArray &bytes, const QByteArray &format = {});
// Empty when the file is a whole JPEG or PNG ("jpeg", "png") that decodes; otherwise why not.
QString checkOutput(const QString &path, const QByteArray &format, QImage *decoded = nullptr);

// ---- JPEG
struct JPEGOptions {
    enum Colour { rgb, grey, cmyk, ycck } colour = rgb; // cmyk: plain inks; ycck: inverted, Adobe marker
    bool progressive = false;
    bool arithmetic = false;
    int restartRows = 0;
    bool fullChroma = false;
    QByteArray iccProfile = {}; // with CMYK: inks made for swappedInksProfile()
    int quality = 95;
};
// The picture through libjpeg, written in memory.
QByteArray jpeg(const QImage &picture, const JPEGOptions &options = {});
// The JPEG with its frame header changed: marker (0xC0 baseline, 0xC1 extended), sample
// precision and, when valid, the size it claims.
QByteArray withFrame(const QByteArray &jpeg, quint8 marker, int precision, QSize claimed = {});
// The JPEG with an APP1 Exif segment holding an orientation tag (1-8) right after its
// start-of-image marker.
QByteArray orientedJPEG(const QByteArray &jpeg, int orientation);
// `viewed` stored so that EXIF orientation `orientation` shows it upright (from the EXIF table).
QImage storedForOrientation(const QImage &viewed, int orientation);
// ---- PNG
QByteArray pngChunk(const QByteArray &type, const QByteArray &data);
// A valid 1-bit grey PNG of zeros claiming the size; truncated: only its first rows.
QByteArray pngBomb(quint32 width, quint32 height, bool truncated = false);

// ---- colour profiles
// A CMYK printer profile whose inks land on unexpected channels: ignoring it shows wrong colours.
QByteArray swappedInksProfile();

// ---- other containers
// ImageMagick's convert of the pictures with these options, written as `format` ("png", "gif",
// "tiff", "png8"); absent when convert is missing or fails.
std::optional<QByteArray> convert(const QList<QImage> &pictures, const QStringList &options, const QString &format);
// The picture as a PNG stored without compression, which every encoder makes smaller.
QByteArray storedPNG(const QImage &picture);
// heif-enc's file of the images (options: "-A" for AVIF); absent when it or its encoder is missing.
std::optional<QByteArray> heif(const QList<QImage> &images, const QStringList &options = {});
QByteArray withClaimedHEIFSize(const QByteArray &heif, quint32 width, quint32 height);
// What `program` writes to "out" from the files `inputs` (name -> bytes) in a folder of its own,
// run there with `arguments`; empty when it fails, which fails the row that needs it.
QByteArray tool(const QString &program, const QMap<QString, QByteArray> &inputs, const QStringList &arguments);

// ---- damage
QByteArray truncated(const QByteArray &bytes, double keptFraction);
QByteArray bitFlipped(const QByteArray &bytes, int count, quint32 seed);

} // namespace TestImages
