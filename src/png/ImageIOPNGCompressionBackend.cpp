#include "ImageIOPNGCompressionBackend.h"

#include "ImageCodec.h"
#include "OutputFiles.h"

Expected<QUrl> ImageIOPNGCompressionBackend::makeOutputURL(const ImageProfile &profile, const QUrl &folderURL) const
{
    return makeUniqueOutputURL(profile.sourceURL, QStringLiteral("png"), folderURL);
}

Expected<CompressionArtifact> ImageIOPNGCompressionBackend::compress(const ImageProfile &profile,
                                                                     const QUrl &outputURL) const
{
    const auto source = ImageSource::create(profile.sourceURL);
    if (!source)
        return failure(CompressionPipelineError::readFailed());
    const auto image = source->createImageAtIndex0();
    if (!image)
        return failure(CompressionPipelineError::imageDecodeFailed());
    auto destination = ImageDestination::create(outputURL, QStringLiteral("public.png"));
    if (!destination)
        return failure(CompressionPipelineError::destinationCreateFailed());
    destination->addImage(*image);
    if (!destination->finalize())
        return failure(CompressionPipelineError::writeFailed());
    const auto outputBytes = readFileSize(outputURL);
    if (!outputBytes)
        return failure(CompressionPipelineError::outputStatFailed());
    return CompressionArtifact{outputURL, *outputBytes};
}
