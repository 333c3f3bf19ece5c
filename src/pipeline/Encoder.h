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
};

} // namespace pressel
