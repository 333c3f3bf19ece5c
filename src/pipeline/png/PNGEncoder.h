// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "CompressionSettings.h"
#include "FallbackEncoder.h"

#include <QString>
#include <QStringList>

#include <optional>

namespace pressel {

// pngquant's --quality bounds, both included; lower not above upper.
struct QualityRange {
    qint64 lower = 60;
    qint64 upper = 80;
};

// The PNG encoder: the palette quantiser pngquant and the
// lossless in-process encoder behind it. A PNG with a colour profile other than sRGB never
// reaches pngquant, which would drop the profile without converting the pixels. Without a
// range the encoder is lossless: the in-process encoder alone.
FallbackEncoder makePNGEncoder(const InstallLayout &layout, std::optional<QualityRange> qualityRange,
                          MetadataPolicy metadata);
ToolEncoder makePNGQuantEncoder(const InstallLayout &layout, QualityRange qualityRange,
                                        MetadataPolicy metadata);

// pngquant's arguments, in order: it reads the source on its standard input and writes to its
// standard output. pngquant copies the source's text chunks (XMP with its GPS position,
// comments) into its output unless told to strip them: only a policy that keeps everything lets it.
QStringList pngquantArguments(QualityRange qualityRange, MetadataPolicy metadata = MetadataPolicy::strip);

} // namespace pressel
