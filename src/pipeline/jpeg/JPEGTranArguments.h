// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "CompressionSettings.h"
#include "JPEGFrame.h"

#include <QStringList>

namespace pressel {

// One lossless rewrite of a JPEG by mozjpeg's jpegtran: Huffman tables optimised and the scans
// made progressive by mozjpeg's scan search, every coefficient kept, so the output decodes to
// the source's very pixels. jpegtran reads the source on its standard input and writes the
// output to its standard output.
//
// The scan search is what mozjpeg's jpegtran does by default. Its -fastcrush (a fixed script
// instead) is not lossless in this mozjpeg: the pixels of its output differ from the source's.
// -revert (libjpeg's standard script) is, and about three times as fast, for about 1 % larger
// outputs on camera JPEGs; bench/lossless measures both.
struct JPEGTranArguments {
    QStringList arguments;
    // The EXIF orientation the output's pixels still need to be seen upright: 1 once jpegtran
    // turned them (or when they were upright already), else the source's.
    int remainingOrientation = 1;
};

// jpegtran always copies every marker (-copy all): even a stripped output keeps the colour
// profile its pixels are in, which jpegtran has no switch to copy alone; pruneJPEGMarkers then
// drops what the policy does not keep.
//
// Under MetadataPolicy::strip the output carries no orientation tag, so jpegtran turns the
// pixels upright itself: the rotation or mirror of the EXIF orientation. A turn moves whole
// blocks (MCUs); where the size is not a whole number of them along an edge the turn would move,
// the partial blocks at that edge cannot follow (jpegtran would leave them in place, or -trim
// drop them), so the pixels are left as stored and the output keeps the orientation alone. The
// decision is made here from the frame, before jpegtran runs, and -perfect makes jpegtran fail
// rather than turn imperfectly should it ever judge otherwise. The other policies keep the
// source's tag, so its pixels stay as stored.
JPEGTranArguments jpegtranArguments(MetadataPolicy policy, const JPEGFrame &frame);

} // namespace pressel
