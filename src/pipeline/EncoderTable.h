// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "CompressionSettings.h"
#include "Encoder.h"
#include "ImageFormat.h"
#include "InstallLayout.h"

#include <functional>
#include <memory>
#include <optional>

namespace pressel {

// A format's encoder at any quality of a range, for choosing the quality per file (a target
// size): higher qualities give larger outputs.
struct QualityScale {
    std::function<std::shared_ptr<const Encoder>(int quality)> encoderAt;
    int lowest = 0;
    int highest = 100; // the quality the settings ask for: a search never goes above it
};

// Which encoder writes which format, for one batch: a format without one is refused from its
// first bytes, with the reason the row gives.
struct EncoderTable {
    std::shared_ptr<const Encoder> jpeg;
    std::shared_ptr<const Encoder> png;
    // The same encoders at other qualities; absent for an encoder without one (lossless PNG).
    std::optional<QualityScale> jpegScale;
    std::optional<QualityScale> pngScale;

    Expected<const Encoder *> encoderFor(const ImageFormat &format) const;
    // The scale of the encoder that encoderFor gives, or null.
    const QualityScale *qualityScaleFor(const ImageFormat &format) const;

    // The encoders the settings ask for: mozjpeg's cjpeg at the JPEG quality, pngquant in its
    // range or left out for lossless PNG, each with the in-process encoder behind it; tools are
    // looked for in the given install layout only.
    static EncoderTable standard(const CompressionSettings &settings, const InstallLayout &layout);
};

} // namespace pressel
