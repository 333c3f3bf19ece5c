// SPDX-License-Identifier: GPL-3.0-or-later
#include "InProcessEncoding.h"

#include "ImageCodec.h"
#include "OutputFiles.h"

namespace pressel {

ImageProfile profileOf(const QUrl &sourceURL)
{
    ImageProfile profile;
    profile.sourceURL = sourceURL;
    return profile;
}

Expected<std::shared_ptr<const DecodedImage>> decodedImage(const ImageProfile &profile)
{
    if (profile.image)
        return profile.image;
    const auto source = ImageSource::create(profile.sourceURL);
    if (!source)
        return failure(CompressionPipelineError::readFailed());
    auto image = source->createImageAtIndex0();
    if (!image)
        return failure(CompressionPipelineError::imageDecodeFailed());
    return std::make_shared<const DecodedImage>(std::move(*image));
}

Expected<CompressionArtifact> reencodeInProcess(const ImageProfile &profile, const QUrl &outputURL,
                                                const QString &typeIdentifier, std::optional<double> quality)
{
    const auto image = decodedImage(profile);
    if (!image)
        return failure(image.error());
    auto destination = ImageDestination::create(outputURL, typeIdentifier);
    if (!destination)
        return failure(CompressionPipelineError::destinationCreateFailed());
    destination->addImage(**image, quality);
    if (!destination->finalize())
        return failure(CompressionPipelineError::writeFailed());
    const auto outputBytes = readFileSize(outputURL);
    if (!outputBytes)
        return failure(CompressionPipelineError::outputStatFailed());
    return CompressionArtifact{outputURL, *outputBytes};
}

} // namespace pressel
