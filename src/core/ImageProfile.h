#pragma once

#include "ImageFormat.h"

#include <QSizeF>
#include <QUrl>

// The facts about a source that the service and the encoders work from.
struct ImageProfile {
    QUrl sourceURL;
    ImageFormat format = ImageFormat::unknown({});
    qint64 fileSize = 0;
    QSizeF pixelSize;
    bool hasAlpha = false;
};
