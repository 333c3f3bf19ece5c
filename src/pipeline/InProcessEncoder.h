// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "Encoder.h"

#include <QString>

#include <optional>

namespace pressel {

// Re-encodes the source with the in-process encoder, as one image of the given type; the
// fallback that always stands behind a tool.
class InProcessEncoder : public Encoder
{
public:
    // kind is JPEG or PNG; quality (0 to 100) applies to JPEG only.
    InProcessEncoder(ImageFormat::Kind kind, std::optional<int> quality)
        : m_kind(kind)
        , m_quality(quality)
    {}

    Expected<void> compress(const ImageProfile &profile, PrivateFile &output, const QUrl &outputURL,
                            const std::stop_token &stop = {}) const override;

private:
    ImageFormat::Kind m_kind;
    std::optional<int> m_quality;
};

} // namespace pressel
