// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "ImageFormat.h"
#include "SourceFile.h"

#include <QUrl>

#include <memory>

namespace pressel {

struct DecodedImage;

// The facts about a source that the service and the encoders work from: its format, sniffed
// from its first bytes, and the one look at the file that every step reads from. Pixels are
// decoded only by the encoders that need them, unless the service prepared them already.
struct ImageProfile {
    QUrl sourceURL;
    ImageFormat format = ImageFormat::unknown({});
    std::shared_ptr<SourceFile> source;
    // The format its output is written in, as the encoder table decides; the source's own
    // until then.
    ImageFormat outputFormat = format;
    // The picture the output is to show when it is not the source's own (a resized one):
    // every encoder then takes these pixels, upright and in sRGB, instead of the source.
    std::shared_ptr<const DecodedImage> picture;
};

} // namespace pressel
