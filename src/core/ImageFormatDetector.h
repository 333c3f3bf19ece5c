#pragma once

#include "CompressionError.h"
#include "ImageProfile.h"

#include <QUrl>

// Inspects a file: the content decides the format, the filename extension only when the
// content gives no known type. Holds no state; creates and changes nothing on disk.
class ImageFormatDetector
{
public:
    Expected<ImageProfile> detect(const QUrl &url) const;
};
