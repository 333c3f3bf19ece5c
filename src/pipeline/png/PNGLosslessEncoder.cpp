// SPDX-License-Identifier: GPL-3.0-or-later
#include "PNGLosslessEncoder.h"

#include "Logging.h"
#include "PNGOptimizer.h"

namespace pressel {

Expected<void> PNGLosslessEncoder::compress(const ImageProfile &profile, PrivateFile &output, const QUrl &outputURL,
                                            const std::stop_token &stop) const
{
    const QString input = profile.sourceURL.toLocalFile();
    // A resized picture is not in the source's bytes: the in-process encoder writes it.
    if (const auto optimized = profile.picture ? std::nullopt
                                               : optimizePNG(profile.source->bytes(), m_metadata == MetadataPolicy::all)) {
        if (!output.rewrite(*optimized))
            return failure(Failure(Failure::writeFailed));
        qCInfo(lcPNGCompression).noquote()
            << QStringLiteral("PNG backend: optimizePNG, input: %1, output: %2").arg(input, outputURL.toLocalFile());
        return {};
    }
    if (!profile.picture)
        qCCritical(lcPNGCompression).noquote()
            << QStringLiteral("PNG backend fallback to ImageIO, input: %1, reason: not optimised losslessly").arg(input);
    const auto written = m_fallback.compress(profile, output, outputURL, stop);
    if (written)
        qCInfo(lcPNGCompression).noquote()
            << QStringLiteral("PNG backend: ImageIO, input: %1, output: %2").arg(input, outputURL.toLocalFile());
    return written;
}

} // namespace pressel
