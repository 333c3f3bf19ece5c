// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "Encoder.h"

namespace pressel {

// Writes any source that decodes as a lossy WebP through libwebp, at a quality on WebP's own
// scale (0 to 100), on the calling thread. For a PNG source, whose flat colours and sharp edges
// lossless WebP often keeps in fewer bytes, lossless is tried as well and the smaller file kept.
// Transparency is kept. Metadata is Exiv2's to add afterwards.
class WebPOutputEncoder : public Encoder
{
public:
    explicit WebPOutputEncoder(int quality)
        : m_quality(quality)
    {}

    Expected<void> compress(const ImageProfile &profile, PrivateFile &output, const QUrl &outputURL,
                            const std::stop_token &stop = {}) const override;

private:
    int m_quality;
};

} // namespace pressel
