// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "EncoderTable.h"

#include <functional>
#include <optional>

namespace pressel {

// The highest quality of a scale whose output fits a number of bytes, for one file: the
// highest quality first, since most files fit there, then bisection between the lowest and
// it. Outputs grow with quality; at most maximumEncodes outputs are written.
class QualitySearch
{
public:
    static constexpr int maximumEncodes = 8;

    struct Choice {
        int quality;
        int encodes;
    };

    // `write` makes the whole output with the encoder into `output`, from its start; the
    // output is measured as `write` leaves it. Afterwards `output` holds the chosen quality's
    // output. Absent when even the lowest quality does not fit; a failure of `write` ends the
    // search.
    static Expected<std::optional<Choice>> run(const QualityScale &scale, qint64 budget, PrivateFile &output,
                                               const std::function<Expected<void>(const Encoder &)> &write);
};

} // namespace pressel
