// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "Failure.h"

#include <QByteArray>
#include <QImage>

#include <functional>
#include <memory>
#include <optional>

namespace pressel {

struct DecodedImage;

// The lowest quality of a range whose output still looks like the picture, for one file: its
// Butteraugli distance (the largest) to the picture at most a target. A large picture is
// searched on a sample of it: tiles of tileSide pixels taken at its own resolution from across
// it (tilesPerSide by tilesPerSide of them), side by side, encoded at trial qualities, which
// costs a fraction of the whole picture's encodes. A downscaled copy would not do: an encoder
// leaves its traces at the size of its blocks, so a copy at a quarter of the size shows them
// four times as large against its details and asks for a much higher quality than the whole
// picture. The caller then encodes the whole picture once at the chosen quality.
class AutoQualitySearch
{
public:
    // Trials and the output together: the search makes at most one fewer encodes.
    static constexpr int maximumEncodes = 6;
    static constexpr int tileSide = 256; // a whole number of any encoder's blocks
    static constexpr int tilesPerSide = 4;
    // The distance kept over the whole picture: mozjpeg quality 75's on the photo of the
    // benchmark corpus it leaves worst (4.32), so that no photo looks worse than that one does
    // at the fixed quality (see the README).
    static constexpr double defaultDistance = 4.3;
    // Tiles miss part of the picture, so the whole output lands further away than its tiles:
    // up to 1.19 times on the corpus. Searched on tiles, the target is brought down by this.
    static constexpr double tileShortfall = 1.2;

    struct Range {
        int lowest;
        int highest;
        int first; // where the search starts: the format's default quality
    };
    struct Choice {
        int quality;
        std::optional<double> distance; // the trial's at that quality, when it was made
        int trials;
    };

    using Encode = std::function<Expected<QByteArray>(int quality, const std::shared_ptr<const DecodedImage> &)>;

    // `encode` writes the given picture at a quality and answers the output's bytes; a failure
    // ends the search. `target` is the distance wanted over the whole picture. The highest
    // quality is the answer when no trial came close enough. `sampled` false searches the whole
    // picture, as the benchmark compares.
    static Expected<Choice> run(const Range &range, const DecodedImage &picture, double target, const Encode &encode,
                                bool sampled = true);

    // The tiles side by side, or the picture itself when they would be most of it.
    static QImage sample(const QImage &picture);
};

} // namespace pressel
