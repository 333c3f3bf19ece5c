#pragma once

#include <QByteArray>
#include <QColor>
#include <QImage>
#include <QMap>
#include <QString>

// Fixtures made at run time: deterministic pictures written with Qt's own encoders, and
// fingerprints that prove sources were left untouched.
namespace TestImages {

// A photo-like picture: smooth gradients plus seeded noise, so encoders have real work to do.
QImage photo(int width, int height, quint32 seed = 1);
// A picture with a transparent background and a soft-edged opaque shape.
QImage transparentGraphic(int width, int height);
// Uniform random noise, which no encoder can shrink much.
QImage noise(int width, int height, quint32 seed = 7);

// Writes `image` to `path` in `format` ("jpeg", "png", "tiff", "gif", "webp", "bmp"); quality as
// in QImageWriter. Fails the calling test when the write fails.
void write(const QImage &image, const QString &path, const char *format, int quality = -1);

QByteArray sha256(const QString &path);
// path -> sha256 of every regular file below `folder`.
QMap<QString, QByteArray> fingerprint(const QString &folder);

// Mean absolute difference per channel (0-255) between two equally sized images, compared as RGB.
double meanColourError(const QImage &a, const QImage &b);

} // namespace TestImages
