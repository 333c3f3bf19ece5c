// SPDX-License-Identifier: GPL-3.0-or-later
// Feeds arbitrary bytes, as a file on disk, through the pipeline's look at a source and the codec:
// format detection, the header's size, plausibility and animation, the first image decoded (JPEG,
// PNG, HEIC, AVIF, WebP, TIFF and the rest), a JPEG's eighth for the viewer, cjpeg's PPM input
// and, for pictures of up to a megapixel, the in-process encoders: the places where untrusted
// bytes, and the pictures decoded from them, meet our code.

#include "ImageCodec.h"
#include "ImageFormatDetector.h"
#include "PPMPreprocessing.h"

#include <QCoreApplication>
#include <QFile>
#include <QTemporaryDir>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>

using namespace pressel;

namespace {

QTemporaryDir *workFolder;

// The fallback encoders write whatever the decoders made; larger pictures would only slow the
// fuzzer down without reaching other code.
constexpr qint64 largestRewrittenPixelCount = 1024 * 1024;

// PRESSEL_FUZZ_MAX_PIXELS=N passes over inputs whose header claims more pixels, for quick
// exploration of the parsers: a few bytes can claim a picture that takes half a minute to
// decode under the sanitizers. Unset (the suite's run), every input goes through.
qint64 maximumPixels = -1;

// Writes the picture as the in-process encoder does; the output must decode to the same size.
void rewrite(const DecodedImage &image, ImageFormat::Kind kind, const QString &name)
{
    const QUrl url = QUrl::fromLocalFile(workFolder->filePath(name));
    QFile file(url.toLocalFile());
    if (!file.open(QIODevice::WriteOnly))
        __builtin_trap(); // our own folder
    if (!writeImage(image, kind, file, 75) || !file.flush())
        __builtin_trap(); // a JPEG or PNG that decodes can be written again
    file.close();
    const auto written = ImageSource::create(url);
    const auto decoded = written ? written->createImageAtIndex0() : std::nullopt;
    if (!decoded || decoded->width() != image.width() || decoded->height() != image.height())
        __builtin_trap();
    QFile::remove(url.toLocalFile());
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
    workFolder = new QTemporaryDir();
    // libFuzzer ends a run with exit(); the folder and its files go with it.
    std::atexit([] { delete workFolder; });
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QString path = workFolder->filePath(QStringLiteral("input.img"));
    {
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
            return 0;
        file.write(reinterpret_cast<const char *>(data), qint64(size));
    }
    const QUrl url = QUrl::fromLocalFile(path);
    const auto source = ImageSource::create(url);
    if (!source)
        return 0;
    const std::optional<qint64> claimed = source->pixelCountFromHeader();
    if (maximumPixels >= 0 && claimed && *claimed > maximumPixels)
        return 0;
    const auto profile = ImageFormatDetector().detect(url);
    if (!profile)
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
    const bool isIcon = size >= 4 && std::memcmp(data, "\0\0\1\0", 4) == 0;
    if (upright && *upright != image->image.size() && !isIcon)
        __builtin_trap();
    // The same bytes decode the same way twice, read from the file or from the one look at it.
    if (!profile->source->readContents())
        __builtin_trap();
    const auto fromBytes = ImageSource::fromBytes(profile->source->bytes());
    const auto again = fromBytes ? fromBytes->createImageAtIndex0() : std::nullopt;
    if (!again || again->image.size() != image->image.size())
        __builtin_trap();
    // The viewer's eighth, which a JPEG decodes from its DC coefficients alone.
    if (profile->format.kind() == ImageFormat::Kind::jpeg) {
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
    // Each road's fallback writes its own format only; other formats are never written.
    if (image->width() * image->height() <= largestRewrittenPixelCount) {
        if (profile->format.kind() == ImageFormat::Kind::jpeg)
            rewrite(*image, ImageFormat::Kind::jpeg, QStringLiteral("output.jpg"));
        else if (profile->format.kind() == ImageFormat::Kind::png)
            rewrite(*image, ImageFormat::Kind::png, QStringLiteral("output.png"));
    }
    return 0;
}
