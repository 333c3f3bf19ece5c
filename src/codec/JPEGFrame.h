// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QSize>

#include <optional>

namespace pressel {

// What a lossless rewrite of a JPEG needs to know of its frame, read from the header alone:
// the stored size, the block group (MCU) a turn or mirror moves whole, and the EXIF orientation
// a viewer applies.
struct JPEGFrame {
    QSize size;          // as stored, before any orientation
    QSize mcuSize;       // in pixels: 8 x 8 for one component, else 8 times the largest sampling factors
    int orientation = 1; // EXIF 1-8; 1 without a tag

    // Absent for what is not a JPEG or is damaged before its first scan.
    static std::optional<JPEGFrame> read(const QByteArray &jpeg);
};

} // namespace pressel
