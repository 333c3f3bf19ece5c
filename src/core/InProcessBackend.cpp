// SPDX-License-Identifier: GPL-3.0-or-later
#include "InProcessBackend.h"

#include "InProcessEncoding.h"

namespace pressel {

Expected<CompressionArtifact> InProcessBackend::compress(const ImageProfile &profile, const QUrl &outputURL,
                                                         const std::stop_token &) const
{
    return reencodeInProcess(profile, outputURL, m_typeIdentifier, m_quality);
}

} // namespace pressel
