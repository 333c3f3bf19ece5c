// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "FallbackEncoder.h"

#include <QString>
#include <QStringList>
#include <QUrl>

namespace pressel {

// The JPEG encoder: mozjpeg's cjpeg, fed the decoded source as a P6 PPM in a private file of the
// temporary folder on its standard input and writing to its standard output, and the in-process
// encoder behind it, both at the same quality (0 to 100).
FallbackEncoder makeJPEGEncoder(const InstallLayout &layout, int quality);
ToolEncoder makeMozJPEGEncoder(const InstallLayout &layout, int quality);

// cjpeg's arguments, in order.
QStringList cjpegArguments(int quality);

// The folder for a run's private scratch files: TMPDIR as configured.
QString temporaryFolder();

} // namespace pressel
