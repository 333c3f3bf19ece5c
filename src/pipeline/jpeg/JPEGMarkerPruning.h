// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "CompressionSettings.h"

#include <QByteArray>

#include <optional>

namespace pressel {

// Drops the markers of jpegtran's output (which copied all of the source's) that the policy
// does not keep; the coded picture is left byte for byte. Every policy keeps what the pixels
// need to be seen right: the JFIF and Adobe markers (colour transform) and the ICC profile.
//   strip:  nothing more; an output whose pixels still need turning gets an EXIF block holding
//           the orientation alone (remainingOrientation 2-8).
//   camera: also the EXIF, XMP and IPTC blocks, for Exiv2 to prune to the camera's fields; the
//           makers' own blocks, multi-picture indexes and comments go.
//   all:    everything, unchanged.
// Absent when the markers before the first scan are damaged.
std::optional<QByteArray> pruneJPEGMarkers(const QByteArray &jpeg, MetadataPolicy policy, int remainingOrientation = 1);

} // namespace pressel
