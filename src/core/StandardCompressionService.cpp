#include "StandardCompressionService.h"

#include "JPEGRoad.h"
#include "PNGRoad.h"

std::unique_ptr<CompressionService> makeStandardCompressionService(const ApplicationBundle &bundle)
{
    constexpr double jpegQuality = 0.75;
    return std::make_unique<CompressionService>(ImageFormatDetector(),
                                                std::make_shared<FallbackChain>(makeJPEGRoad(bundle, jpegQuality)),
                                                std::make_shared<FallbackChain>(makePNGRoad(bundle, {60, 80})));
}
