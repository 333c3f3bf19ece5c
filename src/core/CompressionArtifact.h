// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QUrl>

namespace pressel {

// The output an encoder wrote and its size on disk; lossless when it decodes to the source's
// very pixels.
struct CompressionArtifact {
    QUrl outputURL;
    qint64 outputBytes = 0;
    bool lossless = false;
};

} // namespace pressel
