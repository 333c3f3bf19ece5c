// SPDX-License-Identifier: GPL-3.0-or-later
#include "ImageFormat.h"

namespace pressel {

QString ImageFormat::fileExtension() const
{
    switch (m_kind) {
    case Kind::jpeg:
    case Kind::unknown:
        return m_payload;
    case Kind::png:
        return QStringLiteral("png");
    case Kind::heic:
        return QStringLiteral("heic");
    case Kind::heif:
        return QStringLiteral("heif");
    case Kind::tiff:
        return QStringLiteral("tiff");
    }
    Q_UNREACHABLE();
    return QString();
}

} // namespace pressel
