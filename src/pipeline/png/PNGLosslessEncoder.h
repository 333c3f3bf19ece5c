// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "CompressionSettings.h"
#include "InProcessEncoder.h"

namespace pressel {

// Lossless PNG: optimizePNG rewrites the source in the smallest layout that holds its pixels,
// keeping its colour profile, and its text chunks only when the policy keeps everything (the
// metadata transfer adds the camera's fields). What it declines although the picture decodes
// (a resized picture, whose pixels are not the source's) is written by the in-process encoder;
// a picture that does not decode fails as it would there. Animated PNGs never come this far.
class PNGLosslessEncoder : public Encoder
{
public:
    explicit PNGLosslessEncoder(MetadataPolicy metadata)
        : m_metadata(metadata)
    {}

    Expected<void> compress(const ImageProfile &profile, PrivateFile &output, const QUrl &outputURL,
                            const std::stop_token &stop = {}) const override;
    bool isLossless() const override { return true; }

private:
    MetadataPolicy m_metadata;
    InProcessEncoder m_fallback{ImageFormat::Kind::png, std::nullopt};
};

} // namespace pressel
