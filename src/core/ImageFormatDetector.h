// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "CompressionError.h"
#include "ImageProfile.h"

#include <QUrl>

namespace pressel {

// Inspects a file: its content decides the format (a file whose content we do not know does not
// decode, so the name never decides). Holds no state; creates and changes nothing on disk.
class ImageFormatDetector
{
public:
    Expected<ImageProfile> detect(const QUrl &url) const;
};

} // namespace pressel
