// SPDX-License-Identifier: GPL-3.0-or-later
#include "InProcessEncoding.h"

#include "ImageCodec.h"

#include <QFile>

namespace pressel {

Expected<std::shared_ptr<const DecodedImage>> decodedImage(const ImageProfile &profile)
{
    if (profile.picture)
        return profile.picture;
    const auto source = profile.source ? ImageSource::fromBytes(profile.source->bytes()) : std::nullopt;
    if (!source)
        return failure(Failure(Failure::readFailed));
    auto image = source->createImageAtIndex0();
    if (!image)
        return failure(Failure(Failure::imageDecodeFailed));
    if (image->damaged)
        return failure(Failure(Failure::imageDamaged));
    return std::make_shared<const DecodedImage>(std::move(*image));
}

Expected<void> reencodeInProcess(const ImageProfile &profile, PrivateFile &output, ImageFormat::Kind kind,
                                 std::optional<int> quality)
{
    const auto image = decodedImage(profile);
    if (!image)
        return failure(image.error());
    QFile file;
    if (!output.truncate() || !file.open(output.descriptor(), QIODevice::WriteOnly, QFileDevice::DontCloseHandle))
        return failure(Failure(Failure::destinationCreateFailed));
    // A full disk shows only in the last flush.
    if (!writeImage(**image, kind, file, quality) || !file.flush())
        return failure(Failure(Failure::writeFailed));
    return {};
}

} // namespace pressel
