// SPDX-License-Identifier: GPL-3.0-or-later
#include "FallbackChain.h"

#include "OutputFiles.h"

namespace pressel {

Expected<CompressionArtifact> FallbackChain::compress(const ImageProfile &profile, const QUrl &outputURL,
                                                      const std::stop_token &stop) const
{
    const QString input = profile.sourceURL.toLocalFile();
    const auto &category = m_log.category();
    if (m_tool) {
        const auto artifact = m_tool->compress(profile, outputURL, stop);
        if (artifact) {
            qCInfo(category).noquote() << QStringLiteral("%1 backend: %2, input: %3, output: %4")
                                              .arg(m_log.formatName, m_tool->description().displayName, input,
                                                   artifact->outputURL.toLocalFile());
            return artifact;
        }
        // A partial or rejected output must never survive under the output name.
        removeItemIgnoringErrors(outputURL);
        if (stop.stop_requested())
            return artifact;
        qCCritical(category).noquote() << QStringLiteral("%1 backend fallback to ImageIO, input: %2, reason: %3")
                                              .arg(m_log.formatName, input, artifact.error().localizedDescription());
    }
    const auto artifact = m_fallback.compress(profile, outputURL, stop);
    if (!artifact)
        return artifact;
    qCInfo(category).noquote() << QStringLiteral("%1 backend: ImageIO, input: %2, output: %3")
                                      .arg(m_log.formatName, input, artifact->outputURL.toLocalFile());
    return artifact;
}

} // namespace pressel
