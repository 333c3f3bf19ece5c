// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "Failure.h"
#include "ImageProfile.h"
#include "PrivateFile.h"

#include <memory>
#include <optional>

namespace pressel {

struct DecodedImage;

// The picture the profile holds, or else the source's first image, decoded now from the bytes
// the profile's look at the file read.
Expected<std::shared_ptr<const DecodedImage>> decodedImage(const ImageProfile &profile);

// What both in-process encoders do: decode the source's first image and write it again as one
// image of the given type into the output. quality (0 to 100) applies to JPEG only.
Expected<void> reencodeInProcess(const ImageProfile &profile, PrivateFile &output, ImageFormat::Kind kind,
                                 std::optional<int> quality);

} // namespace pressel
