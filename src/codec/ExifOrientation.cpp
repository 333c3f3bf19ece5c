// SPDX-License-Identifier: GPL-3.0-or-later
#include "ExifOrientation.h"

#include <QtEndian>

namespace pressel {

namespace {

constexpr quint16 orientationTag = 0x0112;

QImageIOHandler::Transformations fromTagValue(quint16 value)
{
    // EXIF's eight orientations in Qt's terms: mirror and flip first, then a quarter turn.
    switch (value) {
    case 2:
        return QImageIOHandler::TransformationMirror;
    case 3:
        return QImageIOHandler::TransformationRotate180;
    case 4:
        return QImageIOHandler::TransformationFlip;
    case 5:
        return QImageIOHandler::TransformationFlipAndRotate90;
    case 6:
        return QImageIOHandler::TransformationRotate90;
    case 7:
        return QImageIOHandler::TransformationMirrorAndRotate90;
    case 8:
        return QImageIOHandler::TransformationRotate270;
    default:
        return QImageIOHandler::TransformationNone;
    }
}

} // namespace

QImageIOHandler::Transformations exifOrientation(QByteArrayView exif)
{
    if (exif.startsWith(QByteArrayView("Exif\0\0", 6)))
        exif = exif.sliced(6);
    else if (exif.size() >= 4 && !exif.startsWith("II") && !exif.startsWith("MM")) {
        const quint32 offset = qFromBigEndian<quint32>(exif.data());
        if (offset > quint32(exif.size()) - 4)
            return QImageIOHandler::TransformationNone;
        exif = exif.sliced(4 + offset);
    }
    if (exif.size() < 8 || !(exif.startsWith("II") || exif.startsWith("MM")))
        return QImageIOHandler::TransformationNone;
    const bool little = exif.startsWith("II");
    const auto read16 = [&](qsizetype at) {
        return little ? qFromLittleEndian<quint16>(exif.data() + at) : qFromBigEndian<quint16>(exif.data() + at);
    };
    const auto read32 = [&](qsizetype at) {
        return little ? qFromLittleEndian<quint32>(exif.data() + at) : qFromBigEndian<quint32>(exif.data() + at);
    };
    const quint32 ifd = read32(4);
    if (ifd > quint32(exif.size()) - 2 || exif.size() < 2)
        return QImageIOHandler::TransformationNone;
    const quint16 count = read16(ifd);
    for (quint32 entry = 0; entry < count; ++entry) {
        const qint64 at = qint64(ifd) + 2 + qint64(entry) * 12;
        if (at + 12 > exif.size())
            break;
        if (read16(at) == orientationTag)
            return read16(at + 2) == 3 /* SHORT */ ? fromTagValue(read16(at + 8)) : QImageIOHandler::TransformationNone;
    }
    return QImageIOHandler::TransformationNone;
}

} // namespace pressel
