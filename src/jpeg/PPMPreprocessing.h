// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "CompressionError.h"
#include "ImageCodec.h"

#include <QByteArray>
#include <QUrl>

#include <optional>

namespace pressel {

// The bytes of a binary (P6) PPM picture of the image: "P6\n<w> <h>\n255\n", then RGB rows,
// top row first, in sRGB with premultiplied alpha dropped. Absent when the pixel buffer cannot
// be set up.
std::optional<QByteArray> makePPMData(const DecodedImage &image);

// Writes the image's PPM picture to ppmURL, replacing what is there; on failure nothing is left.
Expected<void> writePPM(const DecodedImage &image, const QUrl &ppmURL);
// The same for the source's first image, decoded now.
Expected<void> writePPM(const QUrl &sourceURL, const QUrl &ppmURL);

} // namespace pressel
