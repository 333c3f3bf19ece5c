// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "Failure.h"
#include "ImageProfile.h"
#include "PrivateFile.h"

#include <stop_token>

namespace pressel {

// An encoder as the service and the chains drive it: compress writes the whole output into the
// private file the service made for it, from its start, or fails. outputURL is the name the
// output is meant to be published under, for the log. A requested stop ends a
// running external tool at once; the encoder then fails.
class Encoder
{
public:
    virtual ~Encoder() = default;

    virtual Expected<void> compress(const ImageProfile &profile, PrivateFile &output, const QUrl &outputURL,
                                    const std::stop_token &stop = {}) const = 0;

    // Whether its outputs decode to the source's pixels as stored, untouched: no orientation
    // applied, no colours converted. The metadata then stays true to them as it is.
    virtual bool isLossless() const { return false; }
};

} // namespace pressel
