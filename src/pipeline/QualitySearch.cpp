// SPDX-License-Identifier: GPL-3.0-or-later
#include "QualitySearch.h"

#include "Logging.h"

namespace pressel {

Expected<std::optional<QualitySearch::Choice>> QualitySearch::run(
    const QualityScale &scale, qint64 budget, PrivateFile &output,
    const std::function<Expected<void>(const Encoder &)> &write)
{
    int encodes = 0;
    int lastWritten = -1;
    // Whether the output at `quality` fits; it is left in `output`.
    const auto fits = [&](int quality) -> Expected<bool> {
        ++encodes;
        lastWritten = quality;
        if (const auto written = write(*scale.encoderAt(quality)); !written)
            return failure(written.error());
        const qint64 bytes = output.size();
        if (bytes < 0)
            return failure(Failure(Failure::outputStatFailed));
        qCInfo(lcCompression).noquote()
            << QStringLiteral("Quality %1: %2 bytes for a target of %3").arg(quality).arg(bytes).arg(budget);
        return bytes <= budget;
    };
    const auto first = fits(scale.highest);
    if (!first)
        return failure(first.error());
    if (*first)
        return Choice{scale.highest, encodes};
    // Every quality up to `fitting` fits (none while it is below the scale); `tooLarge` does not.
    int fitting = scale.lowest - 1;
    int tooLarge = scale.highest;
    QByteArray best; // the output at `fitting`, once it is not the one in `output`
    while (tooLarge - fitting > 1 && encodes < maximumEncodes) {
        const int quality = fitting + (tooLarge - fitting) / 2;
        const auto fit = fits(quality);
        if (!fit)
            return failure(fit.error());
        if (*fit)
            fitting = quality;
        else
            tooLarge = quality;
        // The fitting output is kept aside only when the next encode would write over it.
        if (*fit && tooLarge - fitting > 1 && encodes < maximumEncodes)
            best = output.readAll();
    }
    if (fitting < scale.lowest)
        return std::optional<Choice>();
    if (lastWritten != fitting && (best.isEmpty() || !output.rewrite(best)))
        return failure(Failure(Failure::writeFailed));
    return Choice{fitting, encodes};
}

} // namespace pressel
