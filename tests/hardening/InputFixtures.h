#pragma once

#include <QByteArray>
#include <QImage>
#include <QString>
#include <QStringList>

#include <functional>
#include <optional>

// Source files of every kind that cameras, phones, scanners and design tools write, made at run
// time: byte by byte where the layout matters (every PNG colour type and depth, APNG, CMYK and
// 12-bit JPEG), and by the system's own encoders (cjpeg, jpegtran, heif-enc, convert) where a
// second, independent writer is the point. Each comes with the picture a colour-managed viewer
// shows for it, worked out from the scene it was made of, never from the code under test.
namespace InputFixtures {

// The scene every fixture is made of: smooth gradients under saturated blocks laid out without
// symmetry, so that a turn, a mirror or a colour shift moves many pixels far. With alpha: the
// left half fades from transparent at the top to opaque at the bottom.
QImage scene(int width, int height, bool withAlpha);
// The scene's grey levels (Rec. 601 weights), as an opaque picture.
QImage greyScene(int width, int height);

// ---- PNG, byte by byte
QByteArray pngChunk(const QByteArray &type, const QByteArray &data);
// The zlib stream of `bytes` in stored blocks: large, so that any re-encoding is smaller.
QByteArray zlibStored(const QByteArray &bytes);

struct PNGLayout {
    int colourType = 2; // 0 grey, 2 RGB, 3 palette, 4 grey+alpha, 6 RGBA
    int bitDepth = 8;
    bool interlaced = false; // Adam7
};
using SampleAt = std::function<quint16(int x, int y, int channel)>;
// The filtered (filter None) scanlines of a picture, pass by pass when interlaced; samples are
// already at the layout's bit depth (palette indexes for colour type 3).
QByteArray pngScanlines(const PNGLayout &layout, int width, int height, const SampleAt &sample);
QByteArray pngIHDR(const PNGLayout &layout, int width, int height);
// A whole PNG: signature, IHDR, `beforeData` chunks, one IDAT, `afterData` chunks, IEND.
QByteArray png(const PNGLayout &layout, int width, int height, const SampleAt &sample,
               const QByteArray &beforeData = {}, const QByteArray &afterData = {});

// ---- JPEG
QByteArray ppm(const QImage &image);
QByteArray pgm(const QImage &grey);
// The system's libjpeg-turbo cjpeg on the picture, with extra options ("-progressive", ...).
std::optional<QByteArray> cjpeg(const QImage &image, const QStringList &options, const QString &scratchFolder,
                                bool grey = false);
// jpegtran on a JPEG, with its options ("-arithmetic").
std::optional<QByteArray> jpegtran(const QByteArray &jpeg, const QStringList &options, const QString &scratchFolder);

enum class CMYKLayout {
    plain,         // straight ink amounts, no Adobe marker
    adobeInverted, // as Photoshop writes: YCCK, samples stored as 255 - ink, Adobe APP14
};
// A CMYK JPEG whose inks, seen through `iccProfile` (none: the usual naive reading of inverted
// inks), give `picture`.
QByteArray cmykJPEG(const QImage &picture, CMYKLayout layout, const QByteArray &iccProfile);
// A grey profile with a linear tone curve: its levels are light, not sRGB-encoded grey.
QByteArray linearGreyProfile();
// A CMYK printer profile whose inks land on unexpected channels (cyan ink reads as yellow,
// magenta as cyan, yellow as magenta), so that ignoring it shows wildly wrong colours.
QByteArray swappedInksProfile();

// A sequential JPEG (SOF1) of `precision` 8 or 12 bits, one grey channel, written by hand: every
// 8x8 block flat at the mean grey level of `grey` there. Width and height: multiples of 8.
QByteArray sequentialGreyJPEG(const QImage &grey, int precision);
// The picture sequentialGreyJPEG() encodes: the grey blocks, at 8 bits.
QImage blockMeans(const QImage &grey);

// A JPEG whose frame header claims another size than its scan holds.
QByteArray withClaimedJPEGSize(const QByteArray &jpeg, quint16 width, quint16 height);
// A TIFF whose first IFD claims another size.
QByteArray withClaimedTIFFSize(const QByteArray &tiff, quint16 width, quint16 height);

// ---- HEIC and TIFF, through their own encoders; absent when the encoder is missing.
std::optional<QByteArray> heic(const QList<QImage> &images, const QString &scratchFolder);
std::optional<QByteArray> multiPageTIFF(const QList<QImage> &pages, const QString &scratchFolder);

// ---- Pictures as stored, for EXIF orientation: `viewed` laid out so that orientation `o`
// shows it upright again (rows of the EXIF table, not any image API).
QImage storedForOrientation(const QImage &viewed, int orientation);

// ---- Damage
QByteArray truncated(const QByteArray &bytes, double keptFraction);
// `count` single-bit flips at seeded positions past the first `spared` bytes.
QByteArray bitFlipped(const QByteArray &bytes, int count, quint32 seed, qsizetype spared = 0);

} // namespace InputFixtures
