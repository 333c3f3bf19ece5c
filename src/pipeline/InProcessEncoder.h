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
    // typeIdentifier is "public.jpeg" or "public.png"; quality (0 to 100) applies to JPEG only.
    InProcessEncoder(QString typeIdentifier, std::optional<int> quality)
        : m_typeIdentifier(std::move(typeIdentifier))
        , m_quality(quality)
    {}

    Expected<void> compress(const ImageProfile &profile, PrivateFile &output, const QUrl &outputURL,
                            const std::stop_token &stop = {}) const override;

private:
    QString m_typeIdentifier;
    std::optional<int> m_quality;
};

} // namespace pressel
