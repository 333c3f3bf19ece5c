#include "InputVariety.h"

#include "TestImages.h"

#include <QColorSpace>

#include <cmath>

using namespace pressel;

using namespace Qt::StringLiterals;
using namespace TestImages;

namespace {

// The picture converted from sRGB into `space`, untagged, and that space's profile.
QImage inColourSpace(const QImage &picture, QColorSpace::NamedColorSpace space)
{
    QImage image = picture.convertToFormat(QImage::Format_RGB32);
    image.setColorSpace(QColorSpace::SRgb);
    image.convertToColorSpace(space);
    image.setColorSpace(QColorSpace());
    return image;
}

// Each channel mapped through f, from 0-1 to 0-1.
template<typename F> QImage remapped(const QImage &picture, F f)
{
    QImage image = picture.convertToFormat(QImage::Format_ARGB32);
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            const QRgb pixel = image.pixel(x, y);
            const auto map = [&](int value) { return qRound(255.0 * f(value / 255.0)); };
            image.setPixel(x, y, qRgba(map(qRed(pixel)), map(qGreen(pixel)), map(qBlue(pixel)), qAlpha(pixel)));
        }
    }
    return image;
}

double linearLight(double value)
{
    return value <= 0.04045 ? value / 12.92 : std::pow((value + 0.055) / 1.055, 2.4);
}

} // namespace

QList<InputSample> inputVariety(int width, int height)
{
    QList<InputSample> samples;
    const QImage opaque = scene(width, height, false);
    const QImage translucent = scene(width, height, true);
    const QImage greyScene = grey(opaque);
    const auto add = [&](const QString &name, const QByteArray &bytes, const QImage &intended) -> InputSample & {
        InputSample &sample = samples.emplace_back();
        sample.fileName = name;
        sample.bytes = bytes;
        sample.format = name.endsWith(u".png") ? "png" : "jpeg";
        sample.intended = intended;
        return sample;
    };
    const auto notHandled = [&](const QString &name, const std::optional<QByteArray> &bytes, const QString &message) {
        if (!bytes) {
            qWarning("%s: its encoder is missing here, so the sample is left out", qPrintable(name));
            return;
        }
        InputSample &sample = add(name, *bytes, {});
        sample.format = name.section(u'.', -1).toLatin1();
        sample.status = CompressionResultStatus::skipped;
        sample.message = message;
    };

    // ---- JPEG
    const QByteArray baseline = jpeg(opaque);
    add(u"jpeg-baseline.jpg"_s, baseline, opaque);
    add(u"jpeg-baseline.jpeg"_s, baseline, opaque);
    add(u"jpeg-progressive.jpg"_s, jpeg(opaque, {.progressive = true}), opaque);
    add(u"jpeg-arithmetic.jpg"_s, jpeg(opaque, {.arithmetic = true}), opaque);
    add(u"jpeg-progressive-arithmetic.jpg"_s, jpeg(opaque, {.progressive = true, .arithmetic = true}), opaque);
    add(u"jpeg-restart-markers.jpg"_s, jpeg(opaque, {.restartRows = 1}), opaque);
    add(u"jpeg-full-chroma.jpg"_s, jpeg(opaque, {.fullChroma = true}), opaque);
    const QByteArray greyJPEG = jpeg(greyScene, {.colour = JPEGOptions::grey});
    add(u"jpeg-grey.jpg"_s, greyJPEG, greyScene);
    add(u"jpeg-extended-sequential.jpg"_s, withFrame(greyJPEG, 0xC1, 8), greyScene);
    // Libjpeg here reads 8-bit samples only, and so does every decoder on this system.
    InputSample &twelveBit = add(u"jpeg-12bit.jpg"_s, withFrame(greyJPEG, 0xC1, 12), {});
    twelveBit.status = CompressionResultStatus::failed;
    twelveBit.message = u"无法解码图片内容"_s;

    const QByteArray inks = swappedInksProfile();
    for (const auto &[name, colour] : {std::pair{u"jpeg-cmyk-profile.jpg"_s, JPEGOptions::cmyk},
                                       std::pair{u"jpeg-cmyk-adobe-profile.jpg"_s, JPEGOptions::ycck}}) {
        // Against the intended picture, the source's own JPEG loss counts too.
        InputSample &cmyk = add(name, jpeg(opaque, {.colour = colour, .iccProfile = inks}), opaque);
        cmyk.viewerCannotManage = cmyk.colourManaged = true;
        cmyk.tolerance = 4.0;
    }
    add(u"jpeg-cmyk-adobe.jpg"_s, jpeg(opaque, {.colour = JPEGOptions::ycck}), opaque);
    for (const auto &[name, space] : {std::pair{u"jpeg-display-p3.jpg"_s, QColorSpace::DisplayP3},
                                      std::pair{u"jpeg-adobe-rgb.jpg"_s, QColorSpace::AdobeRgb}})
        add(name, jpeg(inColourSpace(opaque, space), {.iccProfile = QColorSpace(space).iccProfile()}), opaque)
            .colourManaged = true;
    for (int orientation = 1; orientation <= 8; ++orientation)
        add(u"jpeg-orientation-%1.jpg"_s.arg(orientation),
            insertJPEGSegment(jpeg(storedForOrientation(opaque, orientation)), 0xE1, exifPayload(orientation)),
            opaque);

    // ---- PNG: every colour type and depth, interlacing, animation, and the chunks that change
    // what the samples mean.
    const auto addPNG = [&](const QString &name, const QImage &picture, PNGLayout layout) {
        QImage shown;
        const QByteArray bytes = png(picture, layout, {}, {}, &shown);
        add(name, bytes, shown);
    };
    for (const int depth : {1, 2, 4, 8, 16})
        addPNG(u"png-grey%1.png"_s.arg(depth), opaque, {0, depth});
    for (const int depth : {8, 16})
        addPNG(u"png-greyalpha%1.png"_s.arg(depth), translucent, {4, depth});
    addPNG(u"png-palette.png"_s, opaque, {3, 8});
    addPNG(u"png-palette-trns.png"_s, translucent, {3, 8});
    addPNG(u"png-rgb8.png"_s, opaque, {2, 8});
    addPNG(u"png-rgb16.png"_s, opaque, {2, 16});
    addPNG(u"png-rgba8.png"_s, translucent, {6, 8});
    addPNG(u"png-rgba16.png"_s, translucent, {6, 16});
    addPNG(u"png-rgba8-adam7.png"_s, translucent, {6, 8, true});
    addPNG(u"png-grey2-adam7.png"_s, opaque, {0, 2, true});
    add(u"png-apng.png"_s, animatedPNG(translucent), translucent);

    InputSample &p3 = add(u"png-iccp-display-p3.png"_s,
                          png(inColourSpace(opaque, QColorSpace::DisplayP3), {2, 8},
                              pngChunk("iCCP", pngICCPData(QColorSpace(QColorSpace::DisplayP3).iccProfile()))),
                          opaque);
    p3.colourManaged = p3.toolDeclines = true;
    // Encoded for a display gamma of 1.8: samples are light^(1/1.8).
    add(u"png-gama-1.8.png"_s,
        png(remapped(opaque, [](double v) { return std::pow(linearLight(v), 1.0 / 1.8); }), {2, 8},
            pngChunk("gAMA", QByteArray::fromHex("0000d904"))),
        opaque)
        .colourManaged = true;
    // Grey levels stored as light; Qt here manages RGB profiles only.
    InputSample &linearGrey =
        add(u"png-iccp-linear-grey.png"_s,
            png(remapped(greyScene, linearLight), {0, 8}, pngChunk("iCCP", pngICCPData(linearGreyProfile()))),
            greyScene);
    linearGrey.colourManaged = linearGrey.toolDeclines = linearGrey.viewerCannotManage = true;

    // ---- recognised, not handled
    notHandled(u"heic-alpha.heic"_s, heif({translucent}), u"当前阶段暂不处理 HEIC / HEIF"_s);
    notHandled(u"heic-several-images.heic"_s, heif({opaque, translucent}), u"当前阶段暂不处理 HEIC / HEIF"_s);
    notHandled(u"avif-photo.avif"_s, heif({opaque}, {u"-A"_s}), u"当前阶段暂不处理该格式：avif"_s);
    notHandled(u"tiff-pages.tif"_s, multiPageTIFF({opaque, translucent}), u"当前阶段暂不处理 TIFF"_s);
    notHandled(u"gif-picture.gif"_s, gif(opaque), u"当前阶段暂不处理该格式：gif"_s);
    notHandled(u"webp-picture.webp"_s, encode(opaque, "webp", 60), u"当前阶段暂不处理该格式：webp"_s);
    return samples;
}
