// SPDX-License-Identifier: GPL-3.0-or-later
#include "StandardCompressionService.h"

namespace pressel {

std::unique_ptr<CompressionService> makeStandardCompressionService(const InstallLayout &layout)
{
    return std::make_unique<CompressionService>(
        ImageFormatDetector(), [layout](const CompressionSettings &settings) { return EncoderTable::standard(settings, layout); });
}

} // namespace pressel
