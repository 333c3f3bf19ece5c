// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "CompressionArtifact.h"
#include "CompressionError.h"
#include "ImageProfile.h"

#include <memory>
#include <optional>

namespace pressel {

struct DecodedImage;

// A profile of the source alone, without detection.
ImageProfile profileOf(const QUrl &sourceURL);
// The first image the profile hands on, or else the source's first image decoded now.
Expected<std::shared_ptr<const DecodedImage>> decodedImage(const ImageProfile &profile);

// What both in-process encoders do: decode the source's first image and write it again as one
// image of the given type at the output URL, atomically, then read back the output's size.
// quality (0 to 1) applies to JPEG only.
Expected<CompressionArtifact> reencodeInProcess(const ImageProfile &profile, const QUrl &outputURL,
                                                const QString &typeIdentifier, std::optional<double> quality);

} // namespace pressel
