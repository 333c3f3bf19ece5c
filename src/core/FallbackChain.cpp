#include "FallbackChain.h"

#include "OutputFiles.h"

Expected<CompressionArtifact> compressWithFallback(const CompressionBackend *primary, const CompressionBackend &fallback,
                                                   const ImageProfile &profile, const QUrl &outputURL,
                                                   const FallbackChainLog &log)
{
    const QString input = profile.sourceURL.toLocalFile();
    if (primary) {
        const auto artifact = primary->compress(profile, outputURL);
        if (artifact) {
            qCInfo(log.category).noquote() << QStringLiteral("%1 backend: %2, input: %3, output: %4")
                                                  .arg(log.formatName, log.primaryName, input,
                                                       artifact->outputURL.toLocalFile());
            return artifact;
        }
        // A partial or rejected output must never survive under the output name.
        removeItemIgnoringErrors(outputURL);
        qCCritical(log.category).noquote() << QStringLiteral("%1 backend fallback to ImageIO, input: %2, reason: %3")
                                                  .arg(log.formatName, input, artifact.error().localizedDescription());
    }
    const auto artifact = fallback.compress(profile, outputURL);
    if (!artifact)
        return artifact;
    qCInfo(log.category).noquote() << QStringLiteral("%1 backend: ImageIO, input: %2, output: %3")
                                          .arg(log.formatName, input, artifact->outputURL.toLocalFile());
    return artifact;
}
