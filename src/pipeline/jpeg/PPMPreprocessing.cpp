// SPDX-License-Identifier: GPL-3.0-or-later
#include "PPMPreprocessing.h"

#include "InProcessEncoding.h"

#include <QColorSpace>
#include <QFile>

#include <array>

namespace pressel {

namespace {

QByteArray header(qsizetype width, qsizetype height)
{
    return "P6\n" + QByteArray::number(width) + ' ' + QByteArray::number(height) + "\n255\n";
}

bool isSRGB(const QImage &image)
{
    const QColorSpace space = image.colorSpace();
    return !space.isValid() || space == QColorSpace(QColorSpace::SRgb);
}

// Rows that already are the picture's samples: 8-bit sRGB red, green and blue, as the JPEG
// decoder delivers them. They go to the file as they stand.
bool holdsPPMRows(const QImage &image)
{
    return image.format() == QImage::Format_RGB888 && isSRGB(image);
}

// Pixels whose red, green and blue already are the sRGB, premultiplied samples the picture
// needs: 32-bit RGB, or premultiplied ARGB, not tagged with another colour space. Taken
// straight from the decoded image, which spares a full RGBA copy of a photo.
bool holdsSRGBPremultipliedSamples(const QImage &image)
{
    const bool format = image.format() == QImage::Format_RGB32 || image.format() == QImage::Format_ARGB32_Premultiplied;
    return format && isSRGB(image);
}

bool writeRows(QFile &file, const QImage &image)
{
    const QByteArray head = header(image.width(), image.height());
    if (file.write(head) != head.size())
        return false;
    const qsizetype rowLength = qsizetype(image.width()) * 3;
    if (image.bytesPerLine() == rowLength)
        return file.write(reinterpret_cast<const char *>(image.constBits()), image.sizeInBytes()) ==
               image.sizeInBytes();
    for (int y = 0; y < image.height(); ++y) {
        if (file.write(reinterpret_cast<const char *>(image.constScanLine(y)), rowLength) != rowLength)
            return false;
    }
    return true;
}

template<typename Pixel, typename Samples> QByteArray pictureFrom(const QImage &image, Samples samples)
{
    const qsizetype width = image.width();
    const qsizetype height = image.height();
    QByteArray ppm = header(width, height);
    const qsizetype headerLength = ppm.size();
    // Sized once: the pixel loop never reallocates.
    ppm.resize(headerLength + width * height * 3);
    auto *out = reinterpret_cast<uchar *>(ppm.data() + headerLength);
    for (qsizetype y = 0; y < height; ++y) {
        const auto *pixel = reinterpret_cast<const Pixel *>(image.constScanLine(int(y)));
        for (qsizetype x = 0; x < width; ++x, ++pixel, out += 3)
            samples(*pixel, out);
    }
    return ppm;
}

} // namespace

std::optional<QByteArray> makePPMData(const DecodedImage &image)
{
    if (holdsPPMRows(image.image)) {
        return pictureFrom<std::array<uchar, 3>>(image.image, [](const std::array<uchar, 3> &pixel, uchar *out) {
            std::copy(pixel.begin(), pixel.end(), out);
        });
    }
    if (holdsSRGBPremultipliedSamples(image.image)) {
        // Premultiplied samples over white: each gains what the pixel lets through of it.
        return pictureFrom<QRgb>(image.image, [](QRgb pixel, uchar *out) {
            const int through = 255 - qAlpha(pixel);
            out[0] = uchar(qRed(pixel) + through);
            out[1] = uchar(qGreen(pixel) + through);
            out[2] = uchar(qBlue(pixel) + through);
        });
    }
    const auto rgba = renderSRGBPremultipliedRGBA(image);
    if (!rgba)
        return std::nullopt;
    // Red, green, blue and alpha bytes in memory order, laid over white.
    return pictureFrom<std::array<uchar, 4>>(*rgba, [](const std::array<uchar, 4> &pixel, uchar *out) {
        const int through = 255 - pixel[3];
        out[0] = uchar(pixel[0] + through);
        out[1] = uchar(pixel[1] + through);
        out[2] = uchar(pixel[2] + through);
    });
}

Expected<void> writePPM(const DecodedImage &image, PrivateFile &ppm)
{
    // Rows that need no conversion are written as they stand, without a copy of the picture.
    std::optional<QByteArray> data;
    if (!holdsPPMRows(image.image)) {
        data = makePPMData(image);
        if (!data)
            return failure(Failure::ppmNotMade);
    }
    // The flush is checked on its own: a full disk shows only there.
    QFile file;
    const bool written = ppm.truncate() && file.open(ppm.descriptor(), QIODevice::WriteOnly, QFileDevice::DontCloseHandle) &&
                         (data ? file.write(*data) == data->size() : writeRows(file, image.image)) && file.flush();
    if (!written)
        return failure(Failure(Failure::ppmFailed, {file.errorString()}));
    return {};
}

} // namespace pressel
