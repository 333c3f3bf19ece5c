// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "CompressionSettings.h"
#include "Encoder.h"
#include "ImageFormat.h"
#include "InstallLayout.h"

#include <memory>

namespace pressel {

// Which encoder writes which format, for one batch: a format without one is refused from its
// first bytes, with the reason the row gives.
struct EncoderTable {
    std::shared_ptr<const Encoder> jpeg;
    std::shared_ptr<const Encoder> png;

    Expected<const Encoder *> encoderFor(const ImageFormat &format) const;

    // The encoders the settings ask for: mozjpeg's cjpeg at the JPEG quality and pngquant in its
    // range, each with the in-process encoder behind it, or for a lossless format jpegtran alone
    // and the PNG optimiser; tools are looked for in the given install layout only.
    static EncoderTable standard(const CompressionSettings &settings, const InstallLayout &layout);
};

} // namespace pressel
