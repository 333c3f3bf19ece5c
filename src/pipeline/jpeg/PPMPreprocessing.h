// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "Failure.h"
#include "ImageCodec.h"
#include "PrivateFile.h"

#include <QByteArray>
#include <QUrl>

#include <optional>

namespace pressel {

// The bytes of a binary (P6) PPM picture of the image: "P6\n<w> <h>\n255\n", then RGB rows,
// top row first, in sRGB, transparency laid over white (JPEG has no alpha). Absent when the pixel buffer cannot
// be set up.
std::optional<QByteArray> makePPMData(const DecodedImage &image);

// Writes the image's PPM picture into the file, from its start.
Expected<void> writePPM(const DecodedImage &image, PrivateFile &ppm);

} // namespace pressel
