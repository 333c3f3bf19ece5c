#include "PNGCompressionBackend.h"

#include "FallbackChain.h"
#include "Logging.h"
#include "OutputFiles.h"

Expected<QUrl> PNGCompressionBackend::makeOutputURL(const ImageProfile &profile, const QUrl &folderURL) const
{
    return makeUniqueOutputURL(profile.sourceURL, QStringLiteral("png"), folderURL);
}

Expected<CompressionArtifact> PNGCompressionBackend::compress(const ImageProfile &profile, const QUrl &outputURL) const
{
    return compressWithFallback(m_pngQuantBackend ? &*m_pngQuantBackend : nullptr, m_imageIOBackend, profile, outputURL,
                                {lcPNGCompression(), u"PNG", u"pngquant"});
}
