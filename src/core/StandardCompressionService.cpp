// SPDX-License-Identifier: GPL-3.0-or-later
#include "StandardCompressionService.h"

#include "JPEGRoad.h"
#include "PNGRoad.h"

namespace pressel {

std::unique_ptr<CompressionService> makeStandardCompressionService(const ApplicationBundle &bundle)
{
    auto makeBackends = [bundle](const CompressionSettings &settings) {
        std::optional<QualityRange> pngQuality;
        if (!settings.pngLossless)
            pngQuality = QualityRange{settings.pngQualityMinimum, settings.pngQualityMaximum};
        return CompressionService::Backends{
            std::make_shared<FallbackChain>(makeJPEGRoad(bundle, settings.jpegCompressionQuality())),
            std::make_shared<FallbackChain>(makePNGRoad(bundle, pngQuality, settings.metadata))};
    };
    return std::make_unique<CompressionService>(ImageFormatDetector(), std::move(makeBackends));
}

} // namespace pressel
