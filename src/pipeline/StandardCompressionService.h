// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "CompressionService.h"
#include "InstallLayout.h"

#include <memory>

namespace pressel {

// The one configuration of the pipeline: each batch's settings choose its encoders (see
// EncoderTable::standard); tools are looked for in the given install layout only.
std::unique_ptr<CompressionService> makeStandardCompressionService(const InstallLayout &layout = InstallLayout::main());

} // namespace pressel
