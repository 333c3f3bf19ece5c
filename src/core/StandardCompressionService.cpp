#include "StandardCompressionService.h"

#include "JPEGCompressionBackend.h"
#include "PNGCompressionBackend.h"

std::unique_ptr<CompressionService> makeStandardCompressionService(const ApplicationBundle &bundle)
{
    constexpr double jpegQuality = 0.75;
    auto jpeg = std::make_shared<JPEGCompressionBackend>(
        jpegQuality, MozJPEGCompressionBackend(MozJPEGCommandLocator(bundle), jpegQuality),
        ImageIOJPEGCompressionBackend(jpegQuality));
    auto png = std::make_shared<PNGCompressionBackend>(
        PNGQuantCompressionBackend(PNGQuantCommandLocator(bundle), QualityRange{60, 80}),
        ImageIOPNGCompressionBackend());
    return std::make_unique<CompressionService>(ImageFormatDetector(), std::move(jpeg), std::move(png));
}
