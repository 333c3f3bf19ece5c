#include "ImageIOJPEGCompressionBackend.h"

#include "InProcessEncoding.h"
#include "OutputFiles.h"

Expected<QUrl> ImageIOJPEGCompressionBackend::makeOutputURL(const ImageProfile &profile, const QUrl &folderURL) const
{
    return makeUniqueOutputURL(profile.sourceURL, profile.format.fileExtension(), folderURL);
}

Expected<CompressionArtifact> ImageIOJPEGCompressionBackend::compress(const ImageProfile &profile,
                                                                      const QUrl &outputURL) const
{
    return reencodeInProcess(profile, outputURL, QStringLiteral("public.jpeg"), m_compressionQuality);
}
