// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "CompressionSettings.h"
#include "ToolEncoder.h"

namespace pressel {

// Lossless JPEG: mozjpeg's jpegtran rewrites the source's own coefficients (read on its standard
// input from the source's one look) with optimised Huffman tables and progressive scans, turned
// upright where jpegtranArguments allows, and the markers it copied are pruned to the policy.
// Nothing stands behind it: a missing or failing jpegtran fails the file, since any other
// encoder would change the pixels.
ToolEncoder makeJPEGTranEncoder(const InstallLayout &layout, MetadataPolicy metadata);

} // namespace pressel
