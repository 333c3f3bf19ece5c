// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "CompressionSettings.h"
#include "FallbackChain.h"

#include <QString>
#include <QStringList>

#include <optional>

namespace pressel {

// pngquant's --quality bounds, both included; lower not above upper.
struct QualityRange {
    qint64 lower = 60;
    qint64 upper = 80;
};

// The PNG road: the palette quantiser pngquant, which writes the output itself, and the
// lossless in-process encoder behind it. A PNG with a colour profile other than sRGB never
// reaches pngquant, which would drop the profile without converting the pixels. Without a
// range the road is lossless: the in-process encoder alone.
FallbackChain makePNGRoad(const ApplicationBundle &bundle, std::optional<QualityRange> qualityRange,
                          MetadataPolicy metadata);
ExternalToolBackend makePNGQuantBackend(const ApplicationBundle &bundle, QualityRange qualityRange,
                                        MetadataPolicy metadata);

// pngquant's arguments, in order; the source comes after "--" so a leading hyphen is harmless.
// pngquant copies the source's text chunks (XMP with its GPS position, comments) into its output
// unless told to strip them: only a policy that keeps everything lets it.
QStringList pngquantArguments(const QString &outputPath, QualityRange qualityRange, const QString &sourcePath,
                              MetadataPolicy metadata = MetadataPolicy::strip);
// Where pngquant writes before it renames onto outputPath.
QString pngquantScratchPath(const QString &outputPath);

} // namespace pressel
