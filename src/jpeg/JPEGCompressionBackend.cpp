#include "JPEGCompressionBackend.h"

#include "FallbackChain.h"
#include "Logging.h"
#include "OutputFiles.h"

Expected<QUrl> JPEGCompressionBackend::makeOutputURL(const ImageProfile &profile, const QUrl &folderURL) const
{
    return makeUniqueOutputURL(profile.sourceURL, profile.format.fileExtension(), folderURL);
}

Expected<CompressionArtifact> JPEGCompressionBackend::compress(const ImageProfile &profile, const QUrl &outputURL) const
{
    return compressWithFallback(m_mozJPEGBackend ? &*m_mozJPEGBackend : nullptr, m_imageIOBackend, profile, outputURL,
                                {lcJPEGCompression(), u"JPEG", u"mozjpeg"});
}
