#include "ImageIOPNGCompressionBackend.h"

#include "InProcessEncoding.h"
#include "OutputFiles.h"

Expected<QUrl> ImageIOPNGCompressionBackend::makeOutputURL(const ImageProfile &profile, const QUrl &folderURL) const
{
    return makeUniqueOutputURL(profile.sourceURL, QStringLiteral("png"), folderURL);
}

Expected<CompressionArtifact> ImageIOPNGCompressionBackend::compress(const ImageProfile &profile,
                                                                     const QUrl &outputURL) const
{
    return reencodeInProcess(profile, outputURL, QStringLiteral("public.png"), std::nullopt);
}
