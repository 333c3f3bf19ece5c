// SPDX-License-Identifier: GPL-3.0-or-later
#include "PNGChunkCheck.h"

#include <QtEndian>

#include <zlib.h>

#include <array>

namespace pressel {

bool PNGChunkCheck::isIntact(QIODevice &device)
{
    static constexpr char signature[] = "\x89PNG\r\n\x1A\n";
    if (!device.seek(0) || device.read(8) != QByteArray::fromRawData(signature, 8))
        return false;
    std::array<char, 64 * 1024> buffer;
    for (;;) {
        char head[8];
        if (device.read(head, 8) != 8)
            return false;
        quint32 remaining = qFromBigEndian<quint32>(head);
        if (remaining > 0x7FFFFFFFu) // the format's own limit
            return false;
        uLong crc = crc32(0, reinterpret_cast<const Bytef *>(head + 4), 4);
        while (remaining > 0) {
            const qint64 count = device.read(buffer.data(), std::min<qint64>(remaining, qint64(buffer.size())));
            if (count <= 0)
                return false;
            crc = crc32(crc, reinterpret_cast<const Bytef *>(buffer.data()), uInt(count));
            remaining -= quint32(count);
        }
        char stored[4];
        if (device.read(stored, 4) != 4 || qFromBigEndian<quint32>(stored) != quint32(crc))
            return false;
        if (QByteArrayView(head + 4, 4) == "IEND")
            return true;
    }
}

bool PNGChunkCheck::isAnimated(QIODevice &device)
{
    qint64 at = 8; // after the signature
    char head[8];
    while (device.seek(at) && device.read(head, 8) == 8) {
        const QByteArrayView type(head + 4, 4);
        if (type == "acTL")
            return true;
        if (type == "IDAT" || type == "IEND")
            return false;
        at += 12 + qint64(qFromBigEndian<quint32>(head));
    }
    return false;
}

} // namespace pressel
