#pragma once

#include "CompressionArtifact.h"
#include "CompressionError.h"
#include "ImageProfile.h"

#include <QUrl>

// An encoder as the service and the chains drive it. makeOutputURL names the output without
// creating it; compress writes it and reports its size, or fails having cleaned up as its own
// rules say.
class CompressionBackend
{
public:
    virtual ~CompressionBackend() = default;

    virtual Expected<QUrl> makeOutputURL(const ImageProfile &profile, const QUrl &folderURL) const = 0;
    virtual Expected<CompressionArtifact> compress(const ImageProfile &profile, const QUrl &outputURL) const = 0;
};
