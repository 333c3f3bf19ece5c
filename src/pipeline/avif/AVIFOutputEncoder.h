// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "CompressionSettings.h"
#include "Encoder.h"

namespace pressel {

// Writes any source that decodes as an AVIF through libavif and libaom, at a quality on AVIF's
// own scale (0 to 100), with one thread: the batch already runs a file per core. Transparency
// is kept. Exiv2 does not write AVIF, so the source's metadata, as the policy keeps it, goes in
// as the encoder's own Exif and XMP items.
class AVIFOutputEncoder : public Encoder
{
public:
    AVIFOutputEncoder(int quality, MetadataPolicy metadata)
        : m_quality(quality)
        , m_metadata(metadata)
    {}

    Expected<void> compress(const ImageProfile &profile, PrivateFile &output, const QUrl &outputURL,
                            const std::stop_token &stop = {}) const override;

private:
    int m_quality;
    MetadataPolicy m_metadata;
};

} // namespace pressel
