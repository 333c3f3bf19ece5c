// SPDX-License-Identifier: GPL-3.0-or-later
#include "SRGBConversion.h"

#include <QColorSpace>
#include <QtEndian>

#include <lcms2.h>

#include <array>
#include <vector>

namespace pressel {

namespace {

using ProfileHandle = std::unique_ptr<void, decltype(&cmsCloseProfile)>;
using TransformHandle = std::unique_ptr<void, decltype(&cmsDeleteTransform)>;

ProfileHandle openProfile(const QByteArray &iccProfile)
{
    if (iccProfile.isEmpty())
        return {nullptr, cmsCloseProfile};
    return {cmsOpenProfileFromMem(iccProfile.constData(), cmsUInt32Number(iccProfile.size())), cmsCloseProfile};
}

// A grey profile on sRGB's tone curve: grey levels that read right as sRGB greys.
ProfileHandle sRGBGreyProfile()
{
    const std::array<cmsFloat64Number, 5> sRGBCurve{2.4, 1.0 / 1.055, 0.055 / 1.055, 1.0 / 12.92, 0.04045};
    cmsToneCurve *curve = cmsBuildParametricToneCurve(nullptr, 4, sRGBCurve.data());
    ProfileHandle profile(cmsCreateGrayProfile(cmsD50_xyY(), curve), cmsCloseProfile);
    cmsFreeToneCurve(curve);
    return profile;
}

TransformHandle makeTransform(void *input, cmsUInt32Number inputFormat, void *output, cmsUInt32Number outputFormat)
{
    return {cmsCreateTransform(input, inputFormat, output, outputFormat, INTENT_PERCEPTUAL, cmsFLAGS_COPY_ALPHA),
            cmsDeleteTransform};
}

constexpr bool littleEndian = Q_BYTE_ORDER == Q_LITTLE_ENDIAN;

// The Little CMS layout of a pixel format that is converted in place, or 0 for formats that
// must first become one of these.
cmsUInt32Number lcmsRGBFormat(QImage::Format format)
{
    switch (format) {
    case QImage::Format_RGB32:
    case QImage::Format_ARGB32:
        return littleEndian ? TYPE_BGRA_8 : TYPE_ARGB_8; // 0xAARRGGBB in native byte order
    case QImage::Format_RGBX8888:
    case QImage::Format_RGBA8888:
        return TYPE_RGBA_8;
    case QImage::Format_RGB888:
        return TYPE_RGB_8;
    case QImage::Format_BGR888:
        return TYPE_BGR_8;
    case QImage::Format_RGBX64:
    case QImage::Format_RGBA64:
        return littleEndian ? TYPE_RGBA_16 : TYPE_ABGR_16; // red in the low 16 bits of a quint64
    default:
        return 0;
    }
}

// Brings an image to a format that the conversion handles, in place where Qt can.
void normaliseForConversion(QImage &image)
{
    switch (image.format()) {
    case QImage::Format_ARGB32_Premultiplied:
        image.convertTo(QImage::Format_ARGB32);
        return;
    case QImage::Format_RGBA8888_Premultiplied:
        image.convertTo(QImage::Format_RGBA8888);
        return;
    case QImage::Format_RGBA64_Premultiplied:
        image.convertTo(QImage::Format_RGBA64);
        return;
    case QImage::Format_Indexed8:
    case QImage::Format_Grayscale8:
    case QImage::Format_Grayscale16:
        return;
    default:
        if (lcmsRGBFormat(image.format()) == 0)
            image.convertTo(image.hasAlphaChannel() ? QImage::Format_ARGB32 : QImage::Format_RGB32);
        return;
    }
}

void transformRows(QImage &image, void *transform)
{
    for (int y = 0; y < image.height(); ++y) {
        uchar *line = image.scanLine(y);
        cmsDoTransform(transform, line, line, cmsUInt32Number(image.width()));
    }
}

void transformColorTable(QImage &image, void *transform)
{
    QList<QRgb> table = image.colorTable();
    cmsDoTransform(transform, table.data(), table.data(), cmsUInt32Number(table.size()));
    image.setColorTable(table);
}

bool convertRGB(QImage &image, void *profile)
{
    ProfileHandle sRGB(cmsCreate_sRGBProfile(), cmsCloseProfile);
    if (image.format() == QImage::Format_Grayscale8 || image.format() == QImage::Format_Grayscale16)
        return false;
    const cmsUInt32Number format = image.format() == QImage::Format_Indexed8 ? lcmsRGBFormat(QImage::Format_ARGB32)
                                                                             : lcmsRGBFormat(image.format());
    const TransformHandle transform = makeTransform(profile, format, sRGB.get(), format);
    if (!transform)
        return false;
    if (image.format() == QImage::Format_Indexed8)
        transformColorTable(image, transform.get());
    else
        transformRows(image, transform.get());
    return true;
}

// Grey levels go through a table of every level: cheap, and it serves grey images as well as
// RGB ones whose three channels carry the same grey (a grey PNG with alpha, say).
template<typename Level> std::vector<Level> greyLevelTable(void *profile)
{
    const ProfileHandle target = sRGBGreyProfile();
    const cmsUInt32Number format = sizeof(Level) == 1 ? TYPE_GRAY_8 : TYPE_GRAY_16;
    const TransformHandle transform = makeTransform(profile, format, target.get(), format);
    if (!transform)
        return {};
    std::vector<Level> table(size_t(1) << (8 * sizeof(Level)));
    for (size_t level = 0; level < table.size(); ++level)
        table[level] = Level(level);
    cmsDoTransform(transform.get(), table.data(), table.data(), cmsUInt32Number(table.size()));
    return table;
}

QRgb mapGrey(QRgb pixel, const std::vector<quint8> &table)
{
    return qRgba(table[qRed(pixel)], table[qGreen(pixel)], table[qBlue(pixel)], qAlpha(pixel));
}

bool convertGrey(QImage &image, void *profile)
{
    const bool sixteenBit = image.format() == QImage::Format_Grayscale16 || image.format() == QImage::Format_RGBX64 ||
                            image.format() == QImage::Format_RGBA64;
    if (sixteenBit) {
        const std::vector<quint16> table = greyLevelTable<quint16>(profile);
        if (table.empty())
            return false;
        for (int y = 0; y < image.height(); ++y) {
            auto *level = reinterpret_cast<quint16 *>(image.scanLine(y));
            const int count = image.format() == QImage::Format_Grayscale16 ? image.width() : image.width() * 4;
            for (int i = 0; i < count; ++i) {
                const bool isAlpha = image.format() != QImage::Format_Grayscale16 && i % 4 == 3;
                if (!isAlpha)
                    level[i] = table[level[i]];
            }
        }
        return true;
    }

    const std::vector<quint8> table = greyLevelTable<quint8>(profile);
    if (table.empty())
        return false;
    switch (image.format()) {
    case QImage::Format_Grayscale8:
        for (int y = 0; y < image.height(); ++y) {
            uchar *level = image.scanLine(y);
            for (int x = 0; x < image.width(); ++x)
                level[x] = table[level[x]];
        }
        return true;
    case QImage::Format_Indexed8: {
        QList<QRgb> colors = image.colorTable();
        for (QRgb &color : colors)
            color = mapGrey(color, table);
        image.setColorTable(colors);
        return true;
    }
    default:
        if (image.format() != QImage::Format_RGB32 && image.format() != QImage::Format_ARGB32)
            image.convertTo(image.hasAlphaChannel() ? QImage::Format_ARGB32 : QImage::Format_RGB32);
        for (int y = 0; y < image.height(); ++y) {
            auto *pixel = reinterpret_cast<QRgb *>(image.scanLine(y));
            for (int x = 0; x < image.width(); ++x)
                pixel[x] = mapGrey(pixel[x], table);
        }
        return true;
    }
}

} // namespace

bool convertToSRGB(QImage &image, const QByteArray &iccProfile)
{
    const ProfileHandle profile = openProfile(iccProfile);
    if (!profile || image.isNull())
        return false;
    switch (cmsGetColorSpace(profile.get())) {
    case cmsSigRgbData:
        normaliseForConversion(image);
        return convertRGB(image, profile.get());
    case cmsSigGrayData:
        normaliseForConversion(image);
        return convertGrey(image, profile.get());
    default:
        return false;
    }
}

bool isSRGBProfile(const QByteArray &iccProfile)
{
    const QColorSpace space = QColorSpace::fromIccProfile(iccProfile);
    return space.isValid() && space == QColorSpace(QColorSpace::SRgb);
}

bool isCMYKProfile(const QByteArray &iccProfile)
{
    const ProfileHandle profile = openProfile(iccProfile);
    return profile && cmsGetColorSpace(profile.get()) == cmsSigCmykData;
}

std::optional<CMYKToSRGBTransform> CMYKToSRGBTransform::create(const QByteArray &iccProfile, bool inverted)
{
    const ProfileHandle profile = openProfile(iccProfile);
    if (!profile || cmsGetColorSpace(profile.get()) != cmsSigCmykData)
        return std::nullopt;
    ProfileHandle sRGB(cmsCreate_sRGBProfile(), cmsCloseProfile);
    void *transform = cmsCreateTransform(profile.get(), inverted ? TYPE_CMYK_8_REV : TYPE_CMYK_8, sRGB.get(),
                                         TYPE_RGB_8, INTENT_PERCEPTUAL, 0);
    if (!transform)
        return std::nullopt;
    return CMYKToSRGBTransform(std::shared_ptr<void>(transform, cmsDeleteTransform));
}

void CMYKToSRGBTransform::convertRow(const uchar *cmyk, uchar *rgb, int width) const
{
    cmsDoTransform(m_transform.get(), cmyk, rgb, cmsUInt32Number(width));
}

} // namespace pressel
