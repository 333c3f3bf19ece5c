// SPDX-License-Identifier: GPL-3.0-or-later
#include "JPEGFrame.h"

#include "JPEGDecompressor.h"

#include <QBuffer>
#include <QImageIOHandler>
#include <QImageReader>

namespace pressel {

namespace {

// Qt reports EXIF's orientation as the transformation that makes the picture upright.
int exifOrientation(QImageIOHandler::Transformations transformation)
{
    switch (transformation) {
    case QImageIOHandler::TransformationMirror:
        return 2;
    case QImageIOHandler::TransformationRotate180:
        return 3;
    case QImageIOHandler::TransformationFlip:
        return 4;
    case QImageIOHandler::TransformationFlipAndRotate90:
        return 5;
    case QImageIOHandler::TransformationRotate90:
        return 6;
    case QImageIOHandler::TransformationMirrorAndRotate90:
        return 7;
    case QImageIOHandler::TransformationRotate270:
        return 8;
    default:
        return 1;
    }
}

} // namespace

std::optional<JPEGFrame> JPEGFrame::read(const QByteArray &jpeg)
{
    QBuffer device;
    device.setData(jpeg);
    if (!device.open(QIODevice::ReadOnly))
        return std::nullopt;
    JPEGFrame frame;
    {
        JPEGDecompressor decompressor(device);
        if (!decompressor.readHeader())
            return std::nullopt;
        const jpeg_decompress_struct &info = decompressor.info;
        frame.size = QSize(int(info.image_width), int(info.image_height));
        // A single component is coded block by block, whatever sampling factors it declares.
        const bool single = info.num_components == 1;
        frame.mcuSize = QSize(single ? DCTSIZE : info.max_h_samp_factor * DCTSIZE,
                              single ? DCTSIZE : info.max_v_samp_factor * DCTSIZE);
    }
    if (!device.seek(0))
        return std::nullopt;
    QImageReader reader(&device, "jpeg");
    frame.orientation = exifOrientation(reader.transformation());
    return frame;
}

} // namespace pressel
