// SPDX-License-Identifier: GPL-3.0-or-later
// Feeds arbitrary bytes through the codec as the pipeline meets a source: the container sniffed,
// the header's size, plausibility and animation read, the first image decoded (JPEG, PNG, HEIC,
// AVIF, WebP, TIFF and the rest), a JPEG's eighth for the viewer, cjpeg's PPM input and, for
// pictures of up to a megapixel, the in-process writer: the places where untrusted bytes, and the
// pictures decoded from them, meet our code.

#include "ImageCodec.h"
#include "PPMPreprocessing.h"

#include <QBuffer>
#include <QCoreApplication>

#include <algorithm>
#include <cstddef>
#include <cstdint>

using namespace pressel;

namespace {

// The in-process writer writes whatever the decoders made; larger pictures would only slow the
// fuzzer down without reaching other code.
constexpr qint64 largestRewrittenPixelCount = 1024 * 1024;

// PRESSEL_FUZZ_MAX_PIXELS=N passes over inputs whose header claims more pixels, for quick
// exploration of the parsers: a few bytes can claim a picture that takes half a minute to
// decode under the sanitizers. Unset (the suite's run), every input goes through.
qint64 maximumPixels = -1;

// Writes the picture as the in-process writer does; the output must decode to the same size.
void rewrite(const DecodedImage &image, const QString &typeIdentifier)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    if (!buffer.open(QIODevice::WriteOnly) || !writeImage(image, typeIdentifier, buffer, 0.75))
        __builtin_trap(); // a picture that decodes can be written again
    const auto written = ImageSource::fromBytes(bytes);
    const auto decoded = written ? written->createImageAtIndex0() : std::nullopt;
    if (!decoded || decoded->width() != image.width() || decoded->height() != image.height())
        __builtin_trap();
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *argc, char ***argv)
{
    // Image plugins are found through the application object.
    new QCoreApplication(*argc, *argv);
    // Decoders complain loudly about every corrupt input (Qt's TIFF reader passes libtiff's
    // complaints on as warnings); the fuzzer only cares about crashes.
    qInstallMessageHandler([](QtMsgType, const QMessageLogContext &, const QString &) {});
    bool valid = false;
    if (const qint64 limit = qEnvironmentVariable("PRESSEL_FUZZ_MAX_PIXELS").toLongLong(&valid); valid)
        maximumPixels = limit;
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const auto source = ImageSource::fromBytes(QByteArray(reinterpret_cast<const char *>(data), qsizetype(size)));
    if (!source || source->typeIdentifier().isEmpty())
        return 0;
    const std::optional<qint64> claimed = source->pixelCountFromHeader();
    if (maximumPixels >= 0 && claimed && *claimed > maximumPixels)
        return 0;
    // The pipeline refuses these from their header, as it does pictures larger than the budget.
    if (!source->claimsPlausibleSize())
        return 0;
    const bool animated = source->isAnimated();
    const std::optional<QSize> upright = source->uprightSize();
    const auto image = source->createImageAtIndex0();
    if (!image)
        return 0;
    if (animated || image->width() * image->height() > ImageSource::maximumPixelCount)
        __builtin_trap(); // animations and pictures over the budget never decode
    // The header's size is the picture's in every container Pressel takes as a source. An icon's
    // directory may name another size than its bitmap, and Qt's reader reports the directory's.
    if (upright && *upright != image->image.size() && source->typeIdentifier() != u"com.microsoft.ico")
        __builtin_trap();
    // The viewer's eighth, which a JPEG decodes from its DC coefficients alone.
    const bool isJPEG = source->typeIdentifier() == u"public.jpeg";
    if (isJPEG) {
        const QSize eighth(std::max(1, int(image->width() / 8)), std::max(1, int(image->height() / 8)));
        const auto preview = source->createImageAtIndex0(ImageRegion{image->image.rect(), eighth});
        if (preview && preview->image.size() != eighth)
            __builtin_trap();
    }
    if (const auto ppm = makePPMData(*image)) {
        const QByteArray header =
            "P6\n" + QByteArray::number(image->width()) + ' ' + QByteArray::number(image->height()) + "\n255\n";
        if (ppm->size() != header.size() + image->width() * image->height() * 3 || !ppm->startsWith(header))
            __builtin_trap();
    }
    if (image->width() * image->height() <= largestRewrittenPixelCount)
        rewrite(*image, isJPEG ? u"public.jpeg"_qs : u"public.png"_qs);
    return 0;
}
