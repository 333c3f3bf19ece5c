// SPDX-License-Identifier: GPL-3.0-or-later
// Resizing and the target size as the service runs them, with the bundled cjpeg.
//
// Resize: the corpus photo nearest 12 MP, compressed whole and resized to a longest side of
// 1920 pixels (decode at a DCT scale, resample, encode), the two interleaved; medians of --runs
// runs, wall-clock time.
// Target size: every corpus photo at --target kB; how many fit, how many cannot fit even at the
// lowest quality, and the median number of encodes the search took (from the service's log).

#include "BenchSupport.h"
#include "ImageCodec.h"
#include "StandardCompressionService.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <cstdio>
#include <mutex>

using namespace pressel;

namespace {

// The search's encodes, as the service's log line tells them.
std::mutex encodesMutex;
QList<double> searchEncodes;

void countEncodes(QtMsgType type, const QMessageLogContext &context, const QString &message)
{
    static const QRegularExpression line(QStringLiteral("after (\\d+) encode"));
    if (const auto match = line.match(message); match.hasMatch()) {
        const std::lock_guard lock(encodesMutex);
        searchEncodes.append(match.captured(1).toDouble());
        return;
    }
    BenchSupport::quietPipelineLog(type, context, message);
}

// Compresses one copy of the photo in `folder` and removes its output; milliseconds, or a
// negative number when the row is no success.
double timedCompression(const CompressionService &service, const QString &photo, const CompressionSettings &settings)
{
    QElapsedTimer timer;
    timer.start();
    const CompressionResult result = service.compressFile(QUrl::fromLocalFile(photo), settings);
    const double elapsed = double(timer.nsecsElapsed()) / 1e6;
    if (result.outputURL)
        QFile::remove(result.outputURL->toLocalFile());
    return result.status == CompressionResultStatus::success ? elapsed : -1;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    qInstallMessageHandler(countEncodes);

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Resizing and the target size through the service."));
    parser.addHelpOption();
    const QCommandLineOption runsOption(QStringLiteral("runs"), QStringLiteral("Timed runs per way."),
                                        QStringLiteral("N"), QStringLiteral("3"));
    const QCommandLineOption targetOption(QStringLiteral("target"), QStringLiteral("Target size in kB."),
                                          QStringLiteral("KB"), QStringLiteral("500"));
    parser.addOptions({runsOption, targetOption});
    parser.addPositionalArgument(QStringLiteral("corpus"), QStringLiteral("Folder holding jpg/."));
    parser.process(app);
    const int runs = std::max(1, parser.value(runsOption).toInt());
    const int target = std::max(1, parser.value(targetOption).toInt());
    const QString corpus = parser.positionalArguments().value(0, QStringLiteral("/tmp/pressel-corpus/corpus"));

    const QFileInfoList photos = QDir(corpus + QStringLiteral("/jpg"))
                                     .entryInfoList({QStringLiteral("*.jpg"), QStringLiteral("*.jpeg")}, QDir::Files,
                                                    QDir::Name);
    QTemporaryDir scratch;
    if (photos.isEmpty() || !scratch.isValid()) {
        std::fprintf(stderr, "no JPEG photos in %s/jpg (build the corpus with make-corpus.sh)\n", qPrintable(corpus));
        return 2;
    }
    const auto service = makeStandardCompressionService(InstallLayout::forBinFolder(QStringLiteral(PRESSEL_BENCH_BIN_DIR)));
    service->setWorkerCount(1);

    // Resize.
    QFileInfo nearest;
    qint64 nearestDistance = -1;
    for (const QFileInfo &photo : photos) {
        const auto source = ImageSource::create(QUrl::fromLocalFile(photo.filePath()));
        const qint64 pixels = source ? source->pixelCountFromHeader().value_or(0) : 0;
        const qint64 distance = std::abs(pixels - 12'000'000);
        if (pixels > 0 && (nearestDistance < 0 || distance < nearestDistance)) {
            nearest = photo;
            nearestDistance = distance;
        }
    }
    const QString copy = scratch.filePath(nearest.fileName());
    if (!QFile::copy(nearest.filePath(), copy))
        return 2;
    CompressionSettings resized;
    resized.maximumSide = 1920;
    QList<double> whole;
    QList<double> small;
    for (int run = 0; run < runs; ++run) {
        whole.append(timedCompression(*service, copy, {}));
        small.append(timedCompression(*service, copy, resized));
    }
    const double wholeMedian = BenchSupport::median(whole);
    const double smallMedian = BenchSupport::median(small);
    std::printf("resize %s: whole %.0f ms, to 1920 %.0f ms (%.2fx), medians of %d runs\n",
                qPrintable(nearest.fileName()), wholeMedian, smallMedian, smallMedian / wholeMedian, runs);

    // Target size.
    CompressionSettings targeted;
    targeted.targetKilobytes = target;
    int fitted = 0;
    int unreachable = 0;
    int notSmaller = 0; // fits as it is: the source is already the smaller file
    for (const QFileInfo &photo : photos) {
        const QString photoCopy = scratch.filePath(photo.fileName());
        if (photoCopy != copy && !QFile::copy(photo.filePath(), photoCopy))
            return 2;
        const CompressionResult result = service->compressFile(QUrl::fromLocalFile(photoCopy), targeted);
        if (result.outputURL) {
            const qint64 bytes = result.compressedBytes.value_or(0);
            fitted += bytes <= qint64(target) * 1000;
            QFile::remove(result.outputURL->toLocalFile());
        } else if (result.failure && result.failure->reason() == Failure::targetSizeUnreachable) {
            ++unreachable;
        } else if (result.failure && result.failure->reason() == Failure::notSmaller) {
            ++notSmaller;
        }
    }
    std::printf("target %d kB over %lld photos: %d fit, %d kept as they are (not smaller), %d cannot fit at the "
                "lowest quality; median encodes %.1f (of %lld searches that fitted)\n",
                target, qlonglong(photos.size()), fitted, notSmaller, unreachable,
                searchEncodes.isEmpty() ? 0.0 : BenchSupport::median(searchEncodes), qlonglong(searchEncodes.size()));
    return 0;
}
