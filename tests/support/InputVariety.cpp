// SPDX-License-Identifier: GPL-3.0-or-later
#include "InputVariety.h"

#include "TestImages.h"

#include "TestFiles.h"

#include <QColorSpace>
#include <QTemporaryDir>


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

} // namespace

QList<InputSample> inputVariety(int width, int height)
{
    QList<InputSample> samples;
    const QImage opaque = scene(width, height, false);
    const QImage translucent = scene(width, height, true);
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
    const QByteArray greyJPEG = jpeg(opaque, {.colour = JPEGOptions::grey});
    add(u"jpeg-grey.jpg"_s, greyJPEG, opaque);
    add(u"jpeg-extended-sequential.jpg"_s, withFrame(greyJPEG, 0xC1, 8), opaque);
    // Libjpeg here reads 8-bit samples only, and so does every decoder on this system.
    InputSample &twelveBit = add(u"jpeg-12bit.jpg"_s, withFrame(greyJPEG, 0xC1, 12), {});
    twelveBit.status = CompressionResultStatus::failed;
    twelveBit.message = u"imageDecodeFailed"_s;

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
            orientedJPEG(jpeg(storedForOrientation(opaque, orientation)), orientation), opaque);

    // ---- PNG: every colour type and depth, interlacing, and the chunks that change what the
    // samples mean; stored without compression so that every re-encoding is smaller.
    QTemporaryDir profiles;
    const QString p3Profile = profiles.filePath(u"p3.icc"_s);
    TestFiles::writeFile(p3Profile, QColorSpace(QColorSpace::DisplayP3).iccProfile());
    const auto addPNG = [&](const QString &name, const QImage &picture, QStringList options,
                            const QString &format = u"png"_s) -> InputSample * {
        options << u"-define"_s << u"png:compression-level=0"_s;
        const auto bytes = convert({picture}, options, format);
        if (!bytes) {
            qWarning("%s: ImageMagick's convert is missing, so the sample is left out", qPrintable(name));
            return nullptr;
        }
        return &add(name, *bytes, viewed(*bytes));
    };
    const auto layout = [](int colourType, int depth) {
        return QStringList{u"-define"_s, u"png:color-type=%1"_s.arg(colourType), u"-define"_s,
                           u"png:bit-depth=%1"_s.arg(depth)};
    };
    const QStringList toGrey{u"-colorspace"_s, u"Gray"_s};
    const QStringList opaqueOnly{u"-alpha"_s, u"off"_s};
    for (const int depth : {1, 2, 4, 8, 16})
        addPNG(u"png-grey%1.png"_s.arg(depth), opaque, opaqueOnly + toGrey + layout(0, depth));
    for (const int depth : {8, 16})
        addPNG(u"png-greyalpha%1.png"_s.arg(depth), translucent, toGrey + layout(4, depth));
    addPNG(u"png-palette.png"_s, opaque, {}, u"png8"_s);
    addPNG(u"png-palette-trns.png"_s, translucent, {}, u"png8"_s);
    for (const int depth : {8, 16}) {
        addPNG(u"png-rgb%1.png"_s.arg(depth), opaque, opaqueOnly + layout(2, depth));
        addPNG(u"png-rgba%1.png"_s.arg(depth), translucent, layout(6, depth));
    }
    addPNG(u"png-rgba8-adam7.png"_s, translucent, layout(6, 8) + QStringList{u"-interlace"_s, u"PNG"_s});
    addPNG(u"png-grey2-adam7.png"_s, opaque, opaqueOnly + toGrey + layout(0, 2) + QStringList{u"-interlace"_s, u"PNG"_s});
    if (InputSample *p3 = addPNG(u"png-iccp-display-p3.png"_s, inColourSpace(opaque, QColorSpace::DisplayP3),
                                 opaqueOnly + QStringList{u"-profile"_s, p3Profile}))
        p3->colourManaged = true;

    // ---- recognised, not handled
    notHandled(u"heic-alpha.heic"_s, heif({translucent}), u"heifUnsupported"_s);
    notHandled(u"avif-photo.avif"_s, heif({opaque}, {u"-A"_s}), u"unsupportedFormat"_s);
    notHandled(u"tiff-pages.tif"_s, convert({opaque, translucent}, {}, u"tiff"_s), u"tiffUnsupported"_s);
    notHandled(u"gif-picture.gif"_s, convert({opaque}, {}, u"gif"_s), u"unsupportedFormat"_s);
    notHandled(u"webp-picture.webp"_s, encode(opaque, "webp", 60), u"unsupportedFormat"_s);
    return samples;
}
