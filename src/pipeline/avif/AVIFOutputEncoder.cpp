// SPDX-License-Identifier: GPL-3.0-or-later
#include "AVIFOutputEncoder.h"

#include "AVIFEncoder.h"
#include "ImageCodec.h"
#include "InProcessEncoding.h"
#include "Logging.h"
#include "MetadataTransfer.h"

namespace pressel {

Expected<void> AVIFOutputEncoder::compress(const ImageProfile &profile, PrivateFile &output, const QUrl &outputURL,
                                           const std::stop_token &) const
{
    const auto image = decodedImage(profile);
    if (!image)
        return failure(image.error());
    AVIFSettings settings;
    settings.quality = m_quality;
    settings.threads = 1;
    if (profile.source) {
        MetadataItems items = metadataItems(*profile.source, m_metadata, (*image)->image.size());
        settings.exif = std::move(items.exif);
        settings.xmp = std::move(items.xmp);
    }
    const std::optional<QByteArray> encoded = encodeAVIF(**image, settings);
    if (!encoded)
        return failure(Failure(Failure::encodeFailed, {ImageFormat::displayName(ImageFormat::Kind::avif)}));
    if (!output.rewrite(*encoded))
        return failure(Failure(Failure::writeFailed));
    qCInfo(lcCompression).noquote() << QStringLiteral("AVIF encoder: libavif with aom, input: %1, output: %2")
                                           .arg(profile.sourceURL.toLocalFile(), outputURL.toLocalFile());
    return {};
}

} // namespace pressel
