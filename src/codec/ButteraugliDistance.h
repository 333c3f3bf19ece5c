// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "ImageCodec.h"

#include <QImage>

#include <memory>
#include <optional>

namespace pressel {

// How far a picture looks from a reference, by libjxl's Butteraugli: 0 for the same picture,
// about 1 where a difference starts to show, more the more it shows. Pictures with transparency
// are judged as they show over white, the way a JPEG output carries them.
class ButteraugliDistance
{
public:
    struct Distance {
        double max = 0;    // the largest difference anywhere: where the picture looks worst
        double pnorm3 = 0; // the differences' 3-norm: how it looks on the whole
    };

    // `threads` above 1 measure on a parallel runner of their own.
    explicit ButteraugliDistance(int threads = 1);
    ~ButteraugliDistance();
    ButteraugliDistance(const ButteraugliDistance &) = delete;
    ButteraugliDistance &operator=(const ButteraugliDistance &) = delete;

    // Absent when the sizes differ or libjxl fails.
    std::optional<Distance> compare(const QImage &reference, const QImage &distorted) const;
    // `encoded` decoded as an output's reader sees it, against the reference.
    std::optional<Distance> compareEncoded(const QImage &reference, const QByteArray &encoded) const;

    // 8-bit sRGB rows without alpha, as compare() measures them: compare() converts any other
    // picture, so one kept for many comparisons is converted once.
    static QImage measurable(const QImage &image);

private:
    struct Private;
    std::unique_ptr<Private> d;
};

} // namespace pressel
