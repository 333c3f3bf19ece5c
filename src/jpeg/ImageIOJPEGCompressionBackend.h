#pragma once

#include "CompressionBackend.h"

// Re-encodes a JPEG with the in-process encoder at a fixed quality; the fallback that always
// stands behind the JPEG road. Writes atomically: a failed write leaves no file behind.
class ImageIOJPEGCompressionBackend : public CompressionBackend
{
public:
    explicit ImageIOJPEGCompressionBackend(double compressionQuality = 0.75) : m_compressionQuality(compressionQuality) {}

    double compressionQuality() const { return m_compressionQuality; }

    Expected<QUrl> makeOutputURL(const ImageProfile &profile, const QUrl &folderURL) const override;
    Expected<CompressionArtifact> compress(const ImageProfile &profile, const QUrl &outputURL) const override;

private:
    double m_compressionQuality;
};
