// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "ApplicationBundle.h"
#include "CompressionService.h"

#include <memory>

namespace pressel {

// The one configuration of the pipeline: each batch's settings give the JPEG quality of
// mozjpeg and the in-process encoder and pngquant's quality range, or leave pngquant out;
// tools are looked for in the given bundle only.
std::unique_ptr<CompressionService> makeStandardCompressionService(const ApplicationBundle &bundle = ApplicationBundle::main());

} // namespace pressel
