#include "InProcessEncoding.h"

#include "ImageCodec.h"
#include "OutputFiles.h"

Expected<CompressionArtifact> reencodeInProcess(const ImageProfile &profile, const QUrl &outputURL,
                                                const QString &typeIdentifier, std::optional<double> quality)
{
    const auto source = ImageSource::create(profile.sourceURL);
    if (!source)
        return failure(CompressionPipelineError::readFailed());
    const auto image = source->createImageAtIndex0();
    if (!image)
        return failure(CompressionPipelineError::imageDecodeFailed());
    auto destination = ImageDestination::create(outputURL, typeIdentifier);
    if (!destination)
        return failure(CompressionPipelineError::destinationCreateFailed());
    destination->addImage(*image, quality);
    if (!destination->finalize())
        return failure(CompressionPipelineError::writeFailed());
    const auto outputBytes = readFileSize(outputURL);
    if (!outputBytes)
        return failure(CompressionPipelineError::outputStatFailed());
    return CompressionArtifact{outputURL, *outputBytes};
}
