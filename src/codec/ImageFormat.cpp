// SPDX-License-Identifier: GPL-3.0-or-later
#include "ImageFormat.h"

namespace pressel {

namespace {

struct KindRow {
    ImageFormat::Kind kind;
    const char *extension;
    const char *mimeType;
    const char *qtFormat;
    const char *displayName;
    const char *otherExtensions; // the other names a file of the kind is known by, space-separated
};

constexpr KindRow kinds[] = {
    {ImageFormat::Kind::jpeg, "jpg", "image/jpeg", "jpeg", "JPEG", "jpeg"},
    {ImageFormat::Kind::png, "png", "image/png", "png", "PNG", ""},
    {ImageFormat::Kind::heic, "heic", "image/heic", "", "HEIC", ""},
    {ImageFormat::Kind::heif, "heif", "image/heif", "", "HEIF", ""},
    {ImageFormat::Kind::tiff, "tiff", "image/tiff", "tiff", "TIFF", "tif"},
    {ImageFormat::Kind::webp, "webp", "image/webp", "", "WebP", ""},
    {ImageFormat::Kind::avif, "avif", "image/avif", "", "AVIF", ""},
    {ImageFormat::Kind::unknown, "", "application/octet-stream", "", "", ""},
};

const KindRow &rowOf(ImageFormat::Kind kind)
{
    for (const KindRow &row : kinds) {
        if (row.kind == kind)
            return row;
    }
    Q_UNREACHABLE();
    return kinds[0];
}

} // namespace

QString ImageFormat::fileExtension() const
{
    // A JPEG keeps the spelling of its source, "jpeg" or "jpg"; an unknown format its source's.
    if (m_kind == Kind::jpeg || m_kind == Kind::unknown)
        return m_payload;
    return QString::fromLatin1(rowOf(m_kind).extension);
}

QString ImageFormat::mimeType(Kind kind)
{
    return QString::fromLatin1(rowOf(kind).mimeType);
}

QString ImageFormat::displayName(Kind kind)
{
    return QString::fromLatin1(rowOf(kind).displayName);
}

QStringList ImageFormat::fileNameExtensions(Kind kind)
{
    const KindRow &row = rowOf(kind);
    QStringList extensions{QString::fromLatin1(row.extension)};
    extensions += QString::fromLatin1(row.otherExtensions).split(u' ', Qt::SkipEmptyParts);
    extensions.removeAll(QString());
    return extensions;
}

QByteArray ImageFormat::qtFormat(Kind kind)
{
    return QByteArray(rowOf(kind).qtFormat);
}

} // namespace pressel
