// Feeds arbitrary bytes, as a file on disk, through format detection and the preparation of
// cjpeg's PPM input: the two places where untrusted bytes meet our code first.

#include "ImageFormatDetector.h"
#include "PPMPreprocessing.h"

#include <QCoreApplication>
#include <QFile>
#include <QLoggingCategory>
#include <QTemporaryDir>

#include <cstddef>
#include <cstdint>
#include <cstdlib>

namespace {

QTemporaryDir *workFolder;

} // namespace

extern "C" int LLVMFuzzerInitialize(int *argc, char ***argv)
{
    // Image plugins are found through the application object.
    new QCoreApplication(*argc, *argv);
    // Decoders complain loudly about every corrupt input; the fuzzer only cares about crashes.
    QLoggingCategory::setFilterRules(QStringLiteral("qt.*=false"));
    workFolder = new QTemporaryDir();
    // libFuzzer ends a run with exit(); the folder and its one input file go with it.
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

    const auto profile = ImageFormatDetector().detect(url);
    if (!profile)
        return 0;
    const auto source = ImageSource::create(url);
    if (!source)
        __builtin_trap(); // detection opened it a moment ago
    if (const auto image = source->createImageAtIndex0()) {
        if (const auto ppm = makePPMData(*image)) {
            const QByteArray header = "P6\n" + QByteArray::number(image->width()) + ' '
                + QByteArray::number(image->height()) + "\n255\n";
            if (ppm->size() != header.size() + image->width() * image->height() * 3 || !ppm->startsWith(header))
                __builtin_trap();
        }
    }
    return 0;
}
