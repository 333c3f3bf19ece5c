// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "FallbackChain.h"

#include <QString>
#include <QStringList>
#include <QUrl>

namespace pressel {

// The JPEG road: mozjpeg's cjpeg, fed the decoded source as a temporary P6 PPM, and the
// in-process encoder behind it, both at the same quality (0 to 1).
FallbackChain makeJPEGRoad(const ApplicationBundle &bundle, double quality);
ExternalToolBackend makeMozJPEGBackend(const ApplicationBundle &bundle, double quality);

// cjpeg's seven arguments, in order.
QStringList cjpegArguments(double quality, const QString &outputPath, const QString &ppmPath);
// <temporary folder>/<UPPERCASE-UUID>.ppm, new for every run.
QUrl makeTemporaryPPMURL();

} // namespace pressel
