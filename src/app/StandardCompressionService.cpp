#include "StandardCompressionService.h"

#include "JPEGCompressionBackend.h"
#include "PNGCompressionBackend.h"

std::unique_ptr<CompressionService> makeStandardCompressionService(const ApplicationBundle &bundle)
{
    auto makeBackends = [bundle](const CompressionSettings &settings) {
        const double jpegQuality = settings.jpegCompressionQuality();
        auto jpeg = std::make_shared<JPEGCompressionBackend>(
            jpegQuality, MozJPEGCompressionBackend(MozJPEGCommandLocator(bundle), jpegQuality),
            ImageIOJPEGCompressionBackend(jpegQuality));
        std::optional<PNGQuantCompressionBackend> pngQuant;
        if (!settings.pngLossless)
            pngQuant.emplace(PNGQuantCommandLocator(bundle),
                             QualityRange{settings.pngQualityMinimum, settings.pngQualityMaximum});
        auto png = std::make_shared<PNGCompressionBackend>(std::move(pngQuant), ImageIOPNGCompressionBackend());
        return CompressionService::Backends{std::move(jpeg), std::move(png)};
    };
    return std::make_unique<CompressionService>(ImageFormatDetector(), std::move(makeBackends));
}
