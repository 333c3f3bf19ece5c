// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QUrl>

namespace pressel {

// The file a backend wrote and its size on disk, read back after writing.
struct CompressionArtifact {
    QUrl outputURL;
    qint64 outputBytes = 0;
};

} // namespace pressel
