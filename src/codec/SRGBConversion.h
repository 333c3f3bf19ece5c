// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QImage>

#include <memory>
#include <optional>

namespace pressel {

// Colour management with Little CMS: pixels described by an embedded ICC profile become sRGB,
// so that they look the same untagged, as every viewer takes an image without a profile.

// Converts `image`, whose pixels `iccProfile` describes, to sRGB in place. RGB and grey
// profiles are understood; a grey image stays grey, its levels put on sRGB's tone curve.
// Premultiplied and uncommon pixel formats are first converted to a plain 8- or 16-bit one.
// Returns false, pixels unchanged, when the profile cannot be read or does not describe the
// image's colour model (an RGB profile on a grey image, a CMYK profile).
bool convertToSRGB(QImage &image, const QByteArray &iccProfile);

// Whether the profile describes sRGB itself, so that converting would change nothing.
bool isSRGBProfile(const QByteArray &iccProfile);

// Whether the profile is one that CMYKToSRGBTransform takes; cheaper than making the transform.
bool isCMYKProfile(const QByteArray &iccProfile);

// Converts rows of 8-bit CMYK samples to 8-bit sRGB, through the image's CMYK profile.
class CMYKToSRGBTransform
{
public:
    // inverted: the samples are stored as 255 - ink, as Adobe's writers do.
    static std::optional<CMYKToSRGBTransform> create(const QByteArray &iccProfile, bool inverted);

    // cmyk holds 4 bytes per pixel, rgb receives 3.
    void convertRow(const uchar *cmyk, uchar *rgb, int width) const;

private:
    explicit CMYKToSRGBTransform(std::shared_ptr<void> transform)
        : m_transform(std::move(transform))
    {}
    std::shared_ptr<void> m_transform;
};

} // namespace pressel
