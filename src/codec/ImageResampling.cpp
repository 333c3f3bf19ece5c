// SPDX-License-Identifier: GPL-3.0-or-later
#include "ImageResampling.h"

// GLib names a struct member `signals`, which Qt's keyword macro would rewrite.
#pragma push_macro("signals")
#undef signals
#include <vips/vips.h>
#pragma pop_macro("signals")

#include <algorithm>
#include <cmath>
#include <cstring>
#include <deque>
#include <mutex>

namespace pressel {

namespace {

// libvips is set up once per process. Pressel already compresses one file per core, so each
// resampling runs on the thread that asks for it rather than on a pool of libvips's own, and
// nothing is cached: an operation's cache would keep images that point into our buffers.
bool startVips()
{
    static const bool started = [] {
        if (VIPS_INIT("pressel") != 0)
            return false;
        vips_concurrency_set(1);
        vips_cache_set_max(0);
        return true;
    }();
    return started;
}

// The images one resampling makes, released together however it ends. A deque, so that the
// slot handed to an operation stays where it is while the next one is added.
class Images
{
public:
    Images() = default;
    Images(const Images &) = delete;
    Images &operator=(const Images &) = delete;
    ~Images()
    {
        for (VipsImage *image : m_images) {
            if (image)
                g_object_unref(image);
        }
    }
    VipsImage **slot() { return &m_images.emplace_back(nullptr); }
    VipsImage *adopt(VipsImage *image) { return *slot() = image; }

private:
    std::deque<VipsImage *> m_images;
};

// How a QImage's pixels are laid out for libvips, and what they are brought back to.
struct Layout {
    QImage::Format format;
    int bands;
    VipsBandFormat sampleFormat;
    VipsInterpretation interpretation;
    bool alpha;
    bool paddingBand; // a fourth 16-bit sample that holds nothing
};

Layout layoutFor(const QImage &image)
{
    const bool alpha = image.hasAlphaChannel();
    switch (image.format()) {
    case QImage::Format_Grayscale8:
        return {QImage::Format_Grayscale8, 1, VIPS_FORMAT_UCHAR, VIPS_INTERPRETATION_B_W, false, false};
    case QImage::Format_Grayscale16:
        return {QImage::Format_Grayscale16, 1, VIPS_FORMAT_USHORT, VIPS_INTERPRETATION_GREY16, false, false};
    default:
        break;
    }
    if (image.depth() == 64)
        return alpha ? Layout{QImage::Format_RGBA64, 4, VIPS_FORMAT_USHORT, VIPS_INTERPRETATION_RGB16, true, false}
                     : Layout{QImage::Format_RGBX64, 4, VIPS_FORMAT_USHORT, VIPS_INTERPRETATION_RGB16, false, true};
    return alpha ? Layout{QImage::Format_RGBA8888, 4, VIPS_FORMAT_UCHAR, VIPS_INTERPRETATION_sRGB, true, false}
                 : Layout{QImage::Format_RGB888, 3, VIPS_FORMAT_UCHAR, VIPS_INTERPRETATION_sRGB, false, false};
}

// The resampling itself; every image it makes belongs to `images`. Null when libvips fails.
VipsImage *resampledImage(Images &images, VipsImage *in, const Layout &layout, const QSize &size)
{
    const double maximum = layout.sampleFormat == VIPS_FORMAT_USHORT ? 65535.0 : 255.0;
    const int colourBands = layout.bands - (layout.alpha || layout.paddingBand ? 1 : 0);
    // Each operation writes a new slot; `*out` is the last image made. One operation a
    // statement: an argument list's order of evaluation is not fixed.
    VipsImage **out = nullptr;
    const auto step = [&] { return out = images.slot(); };
    VipsImage *colour = in;
    if (colourBands != layout.bands) {
        if (vips_extract_band(in, step(), 0, "n", colourBands, nullptr))
            return nullptr;
        colour = *out;
    }
    if (vips_copy(colour, step(), "interpretation", layout.interpretation, nullptr))
        return nullptr;
    colour = *out;
    // Light adds up linearly: averaging sRGB's gamma-coded samples darkens fine detail.
    if (vips_colourspace(colour, step(), VIPS_INTERPRETATION_scRGB, nullptr))
        return nullptr;
    VipsImage *working = *out;
    if (layout.alpha) {
        // Premultiplied, so that the colour of transparent pixels does not bleed into their
        // neighbours.
        if (vips_extract_band(in, step(), layout.bands - 1, nullptr))
            return nullptr;
        VipsImage *alpha = *out;
        if (vips_linear1(alpha, step(), 1.0 / maximum, 0.0, nullptr))
            return nullptr;
        alpha = *out;
        if (vips_bandjoin2(working, alpha, step(), nullptr))
            return nullptr;
        working = *out;
        if (vips_premultiply(working, step(), "max_alpha", 1.0, nullptr))
            return nullptr;
        working = *out;
    }
    const double horizontal = double(size.width()) / in->Xsize;
    const double vertical = double(size.height()) / in->Ysize;
    // gap 0: Lanczos3 over the whole reduction, without libvips's box pre-shrink.
    if (vips_resize(working, step(), horizontal, "vscale", vertical, "kernel", VIPS_KERNEL_LANCZOS3, "gap", 0.0,
                    nullptr))
        return nullptr;
    working = *out;
    // Rounding may leave the reduction a pixel off the size asked for; the edge pixels make it up.
    if (working->Xsize != size.width() || working->Ysize != size.height()) {
        if (vips_gravity(working, step(), VIPS_COMPASS_DIRECTION_NORTH_WEST, size.width(), size.height(), "extend",
                         VIPS_EXTEND_COPY, nullptr))
            return nullptr;
        working = *out;
    }
    VipsImage *alpha = nullptr;
    if (layout.alpha) {
        if (vips_unpremultiply(working, step(), "max_alpha", 1.0, nullptr))
            return nullptr;
        working = *out;
        if (vips_extract_band(working, step(), 3, nullptr))
            return nullptr;
        alpha = *out;
        if (vips_linear1(alpha, step(), maximum, 0.0, nullptr))
            return nullptr;
        alpha = *out;
        if (vips_round(alpha, step(), VIPS_OPERATION_ROUND_RINT, nullptr))
            return nullptr;
        alpha = *out;
        if (vips_cast(alpha, step(), layout.sampleFormat, nullptr))
            return nullptr;
        alpha = *out;
        if (vips_extract_band(working, step(), 0, "n", 3, nullptr))
            return nullptr;
        working = *out;
    }
    if (vips_colourspace(working, step(), layout.interpretation, nullptr))
        return nullptr;
    working = *out;
    if (alpha) {
        if (vips_bandjoin2(working, alpha, step(), nullptr))
            return nullptr;
        working = *out;
    } else if (layout.paddingBand) {
        if (vips_bandjoin_const1(working, step(), maximum, nullptr))
            return nullptr;
        working = *out;
        if (vips_cast(working, step(), layout.sampleFormat, nullptr))
            return nullptr;
        working = *out;
    }
    if (working->BandFmt != layout.sampleFormat || working->Bands != layout.bands)
        return nullptr;
    return working;
}

} // namespace

QImage resampled(const QImage &image, const QSize &size)
{
    if (image.isNull() || size.isEmpty() || !startVips())
        return {};
    const Layout layout = layoutFor(image);
    const QImage source = image.convertToFormat(layout.format);
    const int sampleBytes = layout.sampleFormat == VIPS_FORMAT_USHORT ? 2 : 1;
    const qsizetype rowLength = qsizetype(source.width()) * layout.bands * sampleBytes;
    // libvips takes rows without padding.
    QByteArray packed;
    const void *pixels = source.constBits();
    if (source.bytesPerLine() != rowLength) {
        packed.resize(rowLength * source.height());
        for (int y = 0; y < source.height(); ++y)
            std::memcpy(packed.data() + y * rowLength, source.constScanLine(y), size_t(rowLength));
        pixels = packed.constData();
    }
    QImage result;
    {
        Images images;
        VipsImage *in = images.adopt(vips_image_new_from_memory(pixels, size_t(rowLength) * source.height(),
                                                                source.width(), source.height(), layout.bands,
                                                                layout.sampleFormat));
        VipsImage *out = in ? resampledImage(images, in, layout, size) : nullptr;
        size_t length = 0;
        void *memory = out ? vips_image_write_to_memory(out, &length) : nullptr;
        const qsizetype outRowLength = qsizetype(size.width()) * layout.bands * sampleBytes;
        if (memory && length == size_t(outRowLength) * size.height()) {
            result = QImage(size, layout.format);
            for (int y = 0; !result.isNull() && y < size.height(); ++y)
                std::memcpy(result.scanLine(y), static_cast<const char *>(memory) + y * outRowLength,
                            size_t(outRowLength));
        }
        g_free(memory);
    }
    if (result.isNull())
        vips_error_clear();
    // libvips keeps buffers per thread; the batch's threads outlive the file.
    vips_thread_shutdown();
    return result;
}

QSize sizeWithin(const QSize &size, int longestSide)
{
    const int longest = std::max(size.width(), size.height());
    if (longestSide <= 0 || longest <= longestSide)
        return size;
    const auto scaled = [&](int side) { return std::max(1, int(std::lround(double(side) * longestSide / longest))); };
    return size.width() >= size.height() ? QSize(longestSide, scaled(size.height()))
                                         : QSize(scaled(size.width()), longestSide);
}

} // namespace pressel
