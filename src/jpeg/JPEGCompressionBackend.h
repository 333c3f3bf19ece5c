#pragma once

#include "ImageIOJPEGCompressionBackend.h"
#include "MozJPEGCompressionBackend.h"

#include <optional>

// The encoder for JPEG files: mozjpeg first, the in-process encoder on any failure of it.
class JPEGCompressionBackend : public CompressionBackend
{
public:
    JPEGCompressionBackend(double compressionQuality, std::optional<MozJPEGCompressionBackend> mozJPEGBackend,
                           ImageIOJPEGCompressionBackend imageIOBackend)
        : m_compressionQuality(compressionQuality)
        , m_mozJPEGBackend(std::move(mozJPEGBackend))
        , m_imageIOBackend(std::move(imageIOBackend))
    {}

    double compressionQuality() const { return m_compressionQuality; }

    Expected<QUrl> makeOutputURL(const ImageProfile &profile, const QUrl &folderURL) const override;
    Expected<CompressionArtifact> compress(const ImageProfile &profile, const QUrl &outputURL) const override;

private:
    double m_compressionQuality;
    std::optional<MozJPEGCompressionBackend> m_mozJPEGBackend;
    ImageIOJPEGCompressionBackend m_imageIOBackend;
};
