// SPDX-License-Identifier: GPL-3.0-or-later
#include "JPEGMarkerPruning.h"

#include <QByteArrayView>

#include <array>

namespace pressel {

namespace {

constexpr quint8 startOfScan = 0xDA;
constexpr quint8 endOfImage = 0xD9;
constexpr quint8 app0 = 0xE0;
constexpr quint8 comment = 0xFE;

struct Signature {
    quint8 marker;
    QByteArrayView prefix;
};

constexpr std::array pictureMarkers{
    Signature{0xE0, QByteArrayView("JFIF\0", 5)},
    Signature{0xEE, QByteArrayView("Adobe", 5)},
    Signature{0xE2, QByteArrayView("ICC_PROFILE\0", 12)},
};

constexpr std::array cameraMarkers{
    Signature{0xE1, QByteArrayView("Exif\0", 5)},
    Signature{0xE1, QByteArrayView("http://ns.adobe.com/xap/1.0/\0", 29)},
    Signature{0xE1, QByteArrayView("http://ns.adobe.com/xmp/extension/\0", 35)},
    Signature{0xED, QByteArrayView("Photoshop 3.0\0", 14)},
};

template<std::size_t N> bool matches(const std::array<Signature, N> &signatures, quint8 marker, QByteArrayView payload)
{
    for (const Signature &signature : signatures) {
        if (signature.marker == marker && payload.startsWith(signature.prefix))
            return true;
    }
    return false;
}

// An APP1 EXIF block whose only tag is the orientation: a big-endian TIFF header and one IFD.
QByteArray orientationOnlyExif(int orientation)
{
    QByteArray segment = QByteArrayLiteral("\xFF\xE1\x00\x22"
                                           "Exif\0\0"
                                           "MM\x00\x2A\x00\x00\x00\x08"
                                           "\x00\x01"
                                           "\x01\x12\x00\x03\x00\x00\x00\x01\x00\x00\x00\x00"
                                           "\x00\x00\x00\x00");
    segment[29] = char(orientation); // the low byte of the entry's value
    return segment;
}

} // namespace

std::optional<QByteArray> pruneJPEGMarkers(const QByteArray &jpeg, MetadataPolicy policy, int remainingOrientation)
{
    if (!jpeg.startsWith("\xFF\xD8"))
        return std::nullopt;
    if (policy == MetadataPolicy::all)
        return jpeg;
    const auto byte = [&](qsizetype at) {
        return quint8(jpeg.at(at));
    };
    QByteArray pruned = jpeg.first(2);
    pruned.reserve(jpeg.size());
    bool orientationWritten = policy != MetadataPolicy::strip || remainingOrientation < 2 || remainingOrientation > 8;
    qsizetype at = 2;
    while (true) {
        if (at + 2 > jpeg.size() || byte(at) != 0xFF)
            return std::nullopt;
        const quint8 marker = byte(at + 1);
        if (marker == 0xFF) { // fill byte
            ++at;
            continue;
        }
        if (!orientationWritten && marker != app0) {
            pruned += orientationOnlyExif(remainingOrientation);
            orientationWritten = true;
        }
        if (marker == startOfScan || marker == endOfImage) {
            pruned += QByteArrayView(jpeg).sliced(at);
            return pruned;
        }
        if (at + 4 > jpeg.size())
            return std::nullopt;
        const qsizetype length = (qsizetype(byte(at + 2)) << 8) | byte(at + 3);
        if (length < 2 || at + 2 + length > jpeg.size())
            return std::nullopt;
        const QByteArrayView payload = QByteArrayView(jpeg).sliced(at + 4, length - 2);
        const bool metadata = (marker >= app0 && marker <= 0xEF) || marker == comment;
        if (!metadata || matches(pictureMarkers, marker, payload) ||
            (policy == MetadataPolicy::camera && matches(cameraMarkers, marker, payload)))
            pruned += QByteArrayView(jpeg).sliced(at, 2 + length);
        at += 2 + length;
    }
}

} // namespace pressel
