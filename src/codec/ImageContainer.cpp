// SPDX-License-Identifier: GPL-3.0-or-later
#include "ImageContainer.h"

#include <QList>
#include <QtEndian>

#include <algorithm>
#include <initializer_list>

using namespace Qt::StringLiterals;

namespace pressel {

namespace {

using Kind = ImageFormat::Kind;

ImageContainer qtContainer(Kind kind, const char *qtFormat)
{
    return {kind, ImageContainer::Decoder::qt, QByteArray(qtFormat)};
}

bool hasAt(const QByteArray &head, qsizetype offset, QByteArrayView magic)
{
    return head.size() >= offset + magic.size() && QByteArrayView(head).sliced(offset, magic.size()) == magic;
}

// The brands of an ISO base media file: the major brand and the compatible ones of its
// leading `ftyp` box. Empty when the file does not start with one.
QList<QByteArray> isoMediaBrands(const QByteArray &head)
{
    if (!hasAt(head, 4, "ftyp"))
        return {};
    qint64 boxSize = qFromBigEndian<quint32>(head.constData());
    qsizetype offset = 8;
    if (boxSize == 1) { // 64-bit box size follows the type
        if (head.size() < 16)
            return {};
        boxSize = qint64(qFromBigEndian<quint64>(head.constData() + 8));
        offset = 16;
    } else if (boxSize == 0) { // the box runs to the end of the file
        boxSize = head.size();
    }
    if (boxSize < offset + 8)
        return {};
    const qsizetype end = qsizetype(std::min<qint64>(boxSize, head.size()));
    QList<QByteArray> brands{head.mid(offset, 4)}; // the major brand; the minor version follows
    for (qsizetype at = offset + 8; at + 4 <= end; at += 4)
        brands.append(head.mid(at, 4));
    return brands;
}

bool containsAny(const QList<QByteArray> &brands, std::initializer_list<const char *> wanted)
{
    return std::any_of(wanted.begin(), wanted.end(), [&](const char *brand) { return brands.contains(brand); });
}

// HEIF files say what they hold in their brands: any HEVC brand makes an HEIC, the AV1 brands an
// AVIF, and the structural HEIF brands alone a plain HEIF.
ImageContainer heifContainer(const QList<QByteArray> &brands)
{
    const bool sequence = containsAny(brands.first(1), {"avis", "msf1", "hevc", "hevx"});
    const auto heif = [&](Kind kind) { return ImageContainer{kind, ImageContainer::Decoder::heif, {}, sequence}; };
    if (containsAny(brands, {"heic", "heix", "heim", "heis", "hevc", "hevx", "hevm", "hevs"}))
        return heif(Kind::heic);
    if (containsAny(brands, {"avif", "avis"}))
        return heif(Kind::avif);
    if (containsAny(brands, {"mif1", "msf1", "mif2", "miaf"}))
        return heif(Kind::heif);
    return {};
}

bool isBMPHeader(const QByteArray &head)
{
    // "BM" alone starts plenty of text; the size of the info header that follows is one of a few.
    if (!hasAt(head, 0, "BM") || head.size() < 18)
        return false;
    const quint32 infoHeaderSize = qFromLittleEndian<quint32>(head.constData() + 14);
    return QList<quint32>{12, 16, 40, 52, 56, 64, 108, 124}.contains(infoHeaderSize);
}

} // namespace

ImageContainer ImageContainer::sniff(const QByteArray &head)
{
    if (hasAt(head, 0, "\xFF\xD8\xFF"))
        return qtContainer(Kind::jpeg, "jpeg");
    if (hasAt(head, 0, "\x89PNG\r\n\x1A\n"))
        return qtContainer(Kind::png, "png");
    if (hasAt(head, 0, "GIF87a") || hasAt(head, 0, "GIF89a"))
        return qtContainer(Kind::unknown, "gif");
    if (hasAt(head, 0, QByteArrayView("II*\0", 4)) || hasAt(head, 0, QByteArrayView("MM\0*", 4)) ||
        hasAt(head, 0, QByteArrayView("II+\0", 4)) || hasAt(head, 0, QByteArrayView("MM\0+", 4)))
        return qtContainer(Kind::tiff, "tiff");
    if (hasAt(head, 0, "RIFF") && hasAt(head, 8, "WEBP"))
        return {Kind::webp, Decoder::webp, {}};
    if (isBMPHeader(head))
        return qtContainer(Kind::unknown, "bmp");
    if (hasAt(head, 0, QByteArrayView("\0\0\1\0", 4)) && head.size() >= 6 && (head[4] != 0 || head[5] != 0))
        return qtContainer(Kind::unknown, "ico");
    if (const QList<QByteArray> brands = isoMediaBrands(head); !brands.isEmpty())
        return heifContainer(brands);
    return {};
}

} // namespace pressel
