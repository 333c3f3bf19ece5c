#pragma once

#include "CompressionError.h"
#include "ImageCodec.h"

#include <QByteArray>
#include <QUrl>

#include <optional>

// The bytes of a binary (P6) PPM picture of the image: "P6\n<w> <h>\n255\n", then RGB rows,
// top row first, in sRGB with premultiplied alpha dropped. Absent when the pixel buffer cannot
// be set up.
std::optional<QByteArray> makePPMData(const DecodedImage &image);

// Decodes the source's first image and writes its PPM picture to ppmURL in one atomic step.
Expected<void> writePPM(const QUrl &sourceURL, const QUrl &ppmURL);
