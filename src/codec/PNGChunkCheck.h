// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QIODevice>

namespace pressel {

// Whether a PNG's chunk stream is whole: every chunk's checksum matches and the stream reaches
// IEND. Qt's reader and pngquant both turn a cut-off file into a picture whose missing rows are
// blank; this tells such a file apart without inflating a byte, so it stays cheap beside a tool
// that decodes the file itself. Reads `device` from its start.
struct PNGChunkCheck {
    static bool isIntact(QIODevice &device);
    // Whether the PNG is an animation (APNG): an acTL chunk before its image data. Decoders
    // and pngquant show only its first frame. Reads the chunks' headers only.
    static bool isAnimated(QIODevice &device);
};

} // namespace pressel
