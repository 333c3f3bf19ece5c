// SPDX-License-Identifier: GPL-3.0-or-later
#include "WebPOutputEncoder.h"

#include "ImageCodec.h"
#include "InProcessEncoding.h"
#include "Logging.h"
#include "WebPEncoder.h"

#include <QFileInfo>

namespace pressel {

namespace {

// libwebp's lossless effort as cwebp takes it by default (-z 6, on a scale of 0 to 9).
constexpr int losslessEffort = 60;

} // namespace

Expected<void> WebPOutputEncoder::compress(const ImageProfile &profile, PrivateFile &output, const QUrl &outputURL,
                                           const std::stop_token &stop) const
{
    const auto image = decodedImage(profile);
    if (!image)
        return failure(image.error());
    std::optional<QByteArray> encoded = encodeWebP(**image, m_quality, false, stop);
    bool lossless = false;
    if (profile.format.kind() == ImageFormat::Kind::png) {
        const auto exact = encodeWebP(**image, losslessEffort, true, stop);
        lossless = exact && (!encoded || exact->size() < encoded->size());
        if (lossless)
            encoded = exact;
    }
    if (!encoded)
        return failure(Failure(Failure::encodeFailed, {ImageFormat::displayName(ImageFormat::Kind::webp)}));
    if (!output.rewrite(*encoded))
        return failure(Failure(Failure::writeFailed));
    qCInfo(lcCompression).noquote() << QStringLiteral("WebP encoder: libwebp %1, input: %2, output: %3")
                                           .arg(lossless ? QStringLiteral("lossless") : QStringLiteral("lossy"),
                                                profile.sourceURL.toLocalFile(), outputURL.toLocalFile());
    return {};
}

} // namespace pressel
