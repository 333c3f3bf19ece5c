// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "CompressionArtifact.h"
#include "CompressionError.h"
#include "ImageProfile.h"

#include <QUrl>

#include <stop_token>

namespace pressel {

// An encoder as the service and the chains drive it: compress writes the output at the URL the
// service chose and reports its size, or fails having cleaned up as its own rules say. A
// requested stop ends a running external tool at once; the encoder then fails.
class CompressionBackend
{
public:
    virtual ~CompressionBackend() = default;

    virtual Expected<CompressionArtifact> compress(const ImageProfile &profile, const QUrl &outputURL,
                                                   const std::stop_token &stop = {}) const = 0;
};

} // namespace pressel
