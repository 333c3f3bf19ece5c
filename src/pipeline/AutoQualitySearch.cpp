// SPDX-License-Identifier: GPL-3.0-or-later
#include "AutoQualitySearch.h"

#include "ButteraugliDistance.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <map>

namespace pressel {

QImage AutoQualitySearch::sample(const QImage &picture)
{
    const int columns = std::min(tilesPerSide, picture.width() / tileSide);
    const int rows = std::min(tilesPerSide, picture.height() / tileSide);
    // Pictures of less than a byte a pixel are small ones: a scan or a drawing.
    if (qint64(columns) * rows * tileSide * tileSide * 2 > qint64(picture.width()) * picture.height() ||
        picture.depth() < 8)
        return picture;
    QImage tiles(columns * tileSide, rows * tileSide, picture.format());
    if (tiles.isNull())
        return picture;
    tiles.setColorTable(picture.colorTable());
    const qsizetype rowBytes = qsizetype(tileSide) * picture.depth() / 8;
    // Tile centres spread evenly; corners on the block grid, so that the blocks are the picture's.
    const auto corner = [](int length, int count, int index) {
        return std::clamp((length * (2 * index + 1) / (2 * count) - tileSide / 2) / 16 * 16, 0, length - tileSide);
    };
    for (int row = 0; row < rows; ++row) {
        const int top = corner(picture.height(), rows, row);
        for (int column = 0; column < columns; ++column) {
            const int left = corner(picture.width(), columns, column);
            for (int line = 0; line < tileSide; ++line)
                std::memcpy(tiles.scanLine(row * tileSide + line) + column * rowBytes,
                            picture.constScanLine(top + line) + qsizetype(left) * picture.depth() / 8, size_t(rowBytes));
        }
    }
    return tiles;
}

Expected<AutoQualitySearch::Choice> AutoQualitySearch::run(const Range &range, const DecodedImage &picture,
                                                           double target, const Encode &encode, bool sampled)
{
    auto searched = std::make_shared<DecodedImage>(picture);
    if (sampled)
        searched->image = sample(picture.image);
    if (searched->image.size() != picture.image.size())
        target /= tileShortfall;
    const ButteraugliDistance butteraugli;
    const QImage reference = ButteraugliDistance::measurable(searched->image);
    std::map<int, double> distances;
    const auto measure = [&](int quality) -> Expected<double> {
        const auto bytes = encode(quality, searched);
        if (!bytes)
            return failure(bytes.error());
        const auto distance = butteraugli.compareEncoded(reference, *bytes);
        if (!distance)
            return failure(Failure(Failure::outputDecodeFailed));
        distances[quality] = distance->max;
        return distance->max;
    };
    // The distance falls as the quality rises, though not strictly: every quality up to
    // `tooFar` measured too far, `closeEnough` close enough.
    int tooFar = range.lowest - 1;
    int closeEnough = range.highest + 1;
    int next = std::clamp(range.first, range.lowest, range.highest);
    int trials = 0;
    while (trials < maximumEncodes - 1) {
        const auto distance = measure(next);
        if (!distance)
            return failure(distance.error());
        ++trials;
        if (*distance <= target)
            closeEnough = next;
        else
            tooFar = next;
        if (closeEnough - tooFar <= 1 || closeEnough == range.lowest || tooFar == range.highest)
            break;
        // The next quality where a straight line through two measures meets the target: the
        // bracket's ends once there is one, else the two measures nearest the way to go; a
        // first step of 10, and halfway where the line climbs.
        const bool bracketed = tooFar >= range.lowest && closeEnough <= range.highest;
        int a = next, b = next;
        if (bracketed)
            a = tooFar, b = closeEnough;
        else if (distances.size() >= 2 && closeEnough <= range.highest)
            a = distances.begin()->first, b = std::next(distances.begin())->first;
        else if (distances.size() >= 2)
            a = std::prev(distances.end(), 2)->first, b = std::prev(distances.end())->first;
        const double slope = a == b ? 0 : (distances[b] - distances[a]) / (b - a);
        int guess = closeEnough <= range.highest ? next - 10 : next + 10;
        if (slope < 0)
            guess = int(std::lround(a + (target - distances[a]) / slope));
        else if (bracketed)
            guess = tooFar + (closeEnough - tooFar) / 2;
        next = std::clamp(guess, std::max(range.lowest, tooFar + 1), std::min(range.highest, closeEnough - 1));
    }
    if (closeEnough > range.highest)
        return Choice{range.highest, distances.contains(range.highest) ? std::optional(distances[range.highest])
                                                                       : std::nullopt,
                      trials};
    return Choice{closeEnough, distances[closeEnough], trials};
}

} // namespace pressel
