// SPDX-License-Identifier: GPL-3.0-or-later
#include "TIFFDecoder.h"

#include "SRGBConversion.h"

#include <QSysInfo>

#include <tiffio.h>

#include <memory>
#include <vector>

namespace pressel {

namespace {

using Tiff = std::unique_ptr<TIFF, decltype(&TIFFClose)>;

QIODevice *deviceOf(thandle_t handle)
{
    return static_cast<QIODevice *>(handle);
}

// libtiff reads through the device; nothing is written.
Tiff open(QIODevice &device)
{
    if (!device.seek(0))
        return Tiff(nullptr, TIFFClose);
    TIFFOpenOptions *options = TIFFOpenOptionsAlloc();
    // No single allocation of libtiff's own (strip buffers, tag arrays) beyond this: a header
    // that claims huge strips fails instead of taking the memory.
    TIFFOpenOptionsSetMaxSingleMemAlloc(options, 256 * 1024 * 1024);
    // Corrupt files make libtiff talk; the caller only needs to know that they failed.
    TIFFOpenOptionsSetErrorHandlerExtR(
        options, [](TIFF *, void *, const char *, const char *, va_list) { return 1; }, nullptr);
    TIFFOpenOptionsSetWarningHandlerExtR(
        options, [](TIFF *, void *, const char *, const char *, va_list) { return 1; }, nullptr);
    TIFF *tiff = TIFFClientOpenExt(
        "image", "rm", &device,
        [](thandle_t handle, tdata_t data, tmsize_t size) -> tmsize_t {
            return deviceOf(handle)->read(static_cast<char *>(data), size);
        },
        [](thandle_t, tdata_t, tmsize_t) -> tmsize_t { return 0; },
        [](thandle_t handle, toff_t offset, int whence) -> toff_t {
            QIODevice *device = deviceOf(handle);
            const qint64 base = whence == SEEK_CUR ? device->pos() : whence == SEEK_END ? device->size() : 0;
            const qint64 target = base + qint64(offset);
            // Offsets past the end are a damaged file's, not a place to read from.
            return target <= device->size() && device->seek(target) ? toff_t(target) : toff_t(-1);
        },
        [](thandle_t) { return 0; }, [](thandle_t handle) -> toff_t { return toff_t(deviceOf(handle)->size()); },
        [](thandle_t, tdata_t *, toff_t *) { return 0; }, [](thandle_t, tdata_t, toff_t) {}, options);
    TIFFOpenOptionsFree(options);
    return Tiff(tiff, TIFFClose);
}

struct Layout {
    quint32 width = 0;
    quint32 height = 0;
    quint16 samples = 0;
    quint16 bits = 0;
};

std::optional<Layout> cmykLayout(TIFF *tiff)
{
    Layout layout;
    quint16 photometric = 0;
    quint16 inkSet = INKSET_CMYK;
    if (!TIFFGetField(tiff, TIFFTAG_PHOTOMETRIC, &photometric) || photometric != PHOTOMETRIC_SEPARATED ||
        TIFFIsTiled(tiff))
        return std::nullopt;
    TIFFGetFieldDefaulted(tiff, TIFFTAG_INKSET, &inkSet);
    TIFFGetFieldDefaulted(tiff, TIFFTAG_SAMPLESPERPIXEL, &layout.samples);
    TIFFGetFieldDefaulted(tiff, TIFFTAG_BITSPERSAMPLE, &layout.bits);
    quint16 planar = PLANARCONFIG_CONTIG;
    TIFFGetFieldDefaulted(tiff, TIFFTAG_PLANARCONFIG, &planar);
    if (planar != PLANARCONFIG_CONTIG || inkSet != INKSET_CMYK || layout.samples < 4 ||
        (layout.bits != 8 && layout.bits != 16) || !TIFFGetField(tiff, TIFFTAG_IMAGEWIDTH, &layout.width) ||
        !TIFFGetField(tiff, TIFFTAG_IMAGELENGTH, &layout.height) || layout.width == 0 || layout.height == 0)
        return std::nullopt;
    return layout;
}

// Without a profile the inks are taken as ideal ones, as a viewer without colour management does.
void plainCMYKToRGB(const uchar *cmyk, uchar *rgb, int width)
{
    for (int x = 0; x < width; ++x, cmyk += 4, rgb += 3) {
        const int white = 255 - cmyk[3];
        for (int channel = 0; channel < 3; ++channel)
            rgb[channel] = uchar((255 - cmyk[channel]) * white / 255);
    }
}

} // namespace

bool TIFFDecoder::isCMYK(QIODevice &device)
{
    const Tiff tiff = open(device);
    return tiff && cmykLayout(tiff.get());
}

std::optional<TIFFDecoder::Decoded> TIFFDecoder::decode(QIODevice &device, qint64 maximumPixelCount)
{
    const Tiff tiff = open(device);
    const std::optional<Layout> layout = tiff ? cmykLayout(tiff.get()) : std::nullopt;
    if (!layout || qint64(layout->width) * layout->height > maximumPixelCount)
        return std::nullopt;

    quint32 profileSize = 0;
    const void *profileData = nullptr;
    QByteArray profile;
    if (TIFFGetField(tiff.get(), TIFFTAG_ICCPROFILE, &profileSize, &profileData) && profileData)
        profile = QByteArray(static_cast<const char *>(profileData), qsizetype(profileSize));
    const std::optional<CMYKToSRGBTransform> transform =
        isCMYKProfile(profile) ? CMYKToSRGBTransform::create(profile, false) : std::nullopt;

    QImage image(int(layout->width), int(layout->height), QImage::Format_RGB888);
    if (image.isNull())
        return std::nullopt;
    const int width = int(layout->width);
    const int bytesPerSample = layout->bits / 8;
    const tmsize_t scanline = TIFFScanlineSize(tiff.get());
    if (scanline < qint64(width) * bytesPerSample * layout->samples)
        return std::nullopt;
    std::vector<uchar> row(static_cast<size_t>(scanline));
    std::vector<uchar> cmyk(size_t(width) * 4);
    // The high byte of each sample (libtiff hands them over in the machine's order): 16-bit inks
    // go through the same 8-bit transform.
    const int high = bytesPerSample == 2 && QSysInfo::ByteOrder == QSysInfo::LittleEndian ? 1 : 0;
    for (quint32 y = 0; y < layout->height; ++y) {
        if (TIFFReadScanline(tiff.get(), row.data(), y, 0) < 0)
            return std::nullopt;
        for (int x = 0; x < width; ++x)
            for (int ink = 0; ink < 4; ++ink)
                cmyk[size_t(x) * 4 + ink] = row[(size_t(x) * layout->samples + ink) * bytesPerSample + high];
        if (transform)
            transform->convertRow(cmyk.data(), image.scanLine(int(y)), width);
        else
            plainCMYKToRGB(cmyk.data(), image.scanLine(int(y)), width);
    }
    return Decoded{std::move(image), transform.has_value()};
}

} // namespace pressel
