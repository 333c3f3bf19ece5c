// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "ImageFormat.h"

#include <QSizeF>
#include <QUrl>

#include <memory>

namespace pressel {

struct DecodedImage;

// The facts about a source that the service and the encoders work from.
struct ImageProfile {
    QUrl sourceURL;
    ImageFormat format = ImageFormat::unknown({});
    qint64 fileSize = 0;
    QSizeF pixelSize;
    bool hasAlpha = false;
    // The first image as detection decoded it, handed on so that no encoder decodes the file
    // again; absent in a profile made without detection.
    std::shared_ptr<const DecodedImage> image;
};

} // namespace pressel
