// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "CompressionBackend.h"

#include <QString>

#include <optional>

namespace pressel {

// Re-encodes the source with the in-process encoder, as one image of the given type; the
// fallback that always stands behind a tool.
class InProcessBackend : public CompressionBackend
{
public:
    // typeIdentifier is "public.jpeg" or "public.png"; quality (0 to 1) applies to JPEG only.
    InProcessBackend(QString typeIdentifier, std::optional<double> quality)
        : m_typeIdentifier(std::move(typeIdentifier))
        , m_quality(quality)
    {}

    Expected<void> compress(const ImageProfile &profile, PrivateFile &output, const QUrl &outputURL,
                            const std::stop_token &stop = {}) const override;

private:
    QString m_typeIdentifier;
    std::optional<double> m_quality;
};

} // namespace pressel
