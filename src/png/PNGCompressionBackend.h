#pragma once

#include "ImageIOPNGCompressionBackend.h"
#include "PNGQuantCompressionBackend.h"

#include <optional>

// The encoder for PNG files: pngquant first, the in-process encoder on any failure of it.
class PNGCompressionBackend : public CompressionBackend
{
public:
    PNGCompressionBackend(std::optional<PNGQuantCompressionBackend> pngQuantBackend,
                          ImageIOPNGCompressionBackend imageIOBackend = {})
        : m_pngQuantBackend(std::move(pngQuantBackend)), m_imageIOBackend(imageIOBackend)
    {
    }

    Expected<QUrl> makeOutputURL(const ImageProfile &profile, const QUrl &folderURL) const override;
    Expected<CompressionArtifact> compress(const ImageProfile &profile, const QUrl &outputURL) const override;

private:
    std::optional<PNGQuantCompressionBackend> m_pngQuantBackend;
    ImageIOPNGCompressionBackend m_imageIOBackend;
};
