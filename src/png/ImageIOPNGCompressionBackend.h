#pragma once

#include "CompressionBackend.h"

// Re-encodes a PNG losslessly with the in-process encoder at its best compression level; the
// fallback of the PNG road. Writes atomically: a failed write leaves no file behind.
class ImageIOPNGCompressionBackend : public CompressionBackend
{
public:
    Expected<QUrl> makeOutputURL(const ImageProfile &profile, const QUrl &folderURL) const override;
    Expected<CompressionArtifact> compress(const ImageProfile &profile, const QUrl &outputURL) const override;
};
