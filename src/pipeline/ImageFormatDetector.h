// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "Failure.h"
#include "ImageProfile.h"

#include <QUrl>

namespace pressel {

// Inspects a file: opens it once (see SourceFile), and its first bytes decide the format, never
// its name. Nothing is decoded here: a format the settings do not compress is refused from its
// header alone. Holds no state; creates and changes nothing on disk.
class ImageFormatDetector
{
public:
    Expected<ImageProfile> detect(const QUrl &url) const;
};

} // namespace pressel
