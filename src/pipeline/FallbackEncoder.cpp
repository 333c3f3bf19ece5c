// SPDX-License-Identifier: GPL-3.0-or-later
#include "FallbackEncoder.h"

namespace pressel {

Expected<void> FallbackEncoder::compress(const ImageProfile &profile, PrivateFile &output, const QUrl &outputURL,
                                       const std::stop_token &stop) const
{
    const QString input = profile.sourceURL.toLocalFile();
    const auto &category = m_log.category();
    if (m_tool) {
        const auto written = m_tool->compress(profile, output, outputURL, stop);
        if (written) {
            qCInfo(category).noquote() << QStringLiteral("%1 backend: %2, input: %3, output: %4")
                                              .arg(m_log.formatName, m_tool->description().displayName, input,
                                                   outputURL.toLocalFile());
            return written;
        }
        // A damaged source stays damaged whoever encodes it.
        if (stop.stop_requested() || written.error().reason() == Failure::imageDamaged)
            return written;
        qCCritical(category).noquote() << QStringLiteral("%1 backend fallback to ImageIO, input: %2, reason: %3")
                                              .arg(m_log.formatName, input, written.error().sourceText());
    }
    const auto written = m_fallback.compress(profile, output, outputURL, stop);
    if (written)
        qCInfo(category).noquote() << QStringLiteral("%1 backend: ImageIO, input: %2, output: %3")
                                          .arg(m_log.formatName, input, outputURL.toLocalFile());
    return written;
}

} // namespace pressel
