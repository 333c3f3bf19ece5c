// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArrayView>
#include <QImageIOHandler>

namespace pressel {

// The turn and mirror that an EXIF block's Orientation tag asks for, as Qt's readers apply it
// (QImageReader::transformation()). Containers whose decoder Qt does not provide carry the same
// TIFF-structured block; the block may start with JPEG's "Exif\0\0" or, as in HEIF, with a
// 4-byte offset to the TIFF header. None when the block or its tag is missing or damaged.
QImageIOHandler::Transformations exifOrientation(QByteArrayView exif);

} // namespace pressel
