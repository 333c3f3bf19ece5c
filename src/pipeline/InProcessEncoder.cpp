// SPDX-License-Identifier: GPL-3.0-or-later
#include "InProcessEncoder.h"
#include "InProcessEncoding.h"

namespace pressel {

Expected<void> InProcessEncoder::compress(const ImageProfile &profile, PrivateFile &output, const QUrl &,
                                          const std::stop_token &) const
{
    return reencodeInProcess(profile, output, m_kind, m_quality);
}

} // namespace pressel
