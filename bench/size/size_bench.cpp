// SPDX-License-Identifier: GPL-3.0-or-later
// Resizing and the target size as the service runs them, with the bundled cjpeg.
//
// Resize: the corpus photo nearest 12 MP, compressed whole and resized to a longest side of
// 1920 pixels (decode at a DCT scale, resample, encode), the two interleaved; medians of --runs
// runs, wall-clock time.
// Target size: every corpus photo at --target kB; how many fit, how many cannot fit even at the
// lowest quality, and the median number of encodes the search took (from the service's log).
// Automatic quality: every corpus photo at mozjpeg's fixed quality 75 and at the automatic
// quality, bytes, Butteraugli distance of the output to the whole decoded source, time; and the
// quality a search over the whole picture would choose against the one the search on its tiles
// chooses (at --distance, the service's target unless given).

#include "AutoQualitySearch.h"
#include "BenchSupport.h"
#include "ButteraugliDistance.h"
#include "CorpusFiles.h"
#include "EncoderTable.h"
#include "ImageCodec.h"
#include "ImageFormatDetector.h"
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

int lastAutoEncodes = 0;

void countEncodes(QtMsgType type, const QMessageLogContext &context, const QString &message)
{
    static const QRegularExpression line(QStringLiteral("after (\\d+) encode"));
    static const QRegularExpression autoLine(QStringLiteral("^auto quality: .*, (\\d+) encodes\\)"));
    if (const auto match = line.match(message); match.hasMatch()) {
        const std::lock_guard lock(encodesMutex);
        searchEncodes.append(match.captured(1).toDouble());
        return;
    }
    if (const auto match = autoLine.match(message); match.hasMatch()) {
        const std::lock_guard lock(encodesMutex);
        lastAutoEncodes = match.captured(1).toInt();
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

// One photo compressed by the service: its output's bytes, distance to the whole decoded
// source, the quality chosen, the time; the output is removed again.
struct Compressed {
    qint64 bytes = 0;
    double distance = 0;
    int quality = 0;
    double milliseconds = 0;
};

std::optional<Compressed> compressAndMeasure(const CompressionService &service, const QString &photo,
                                             const CompressionSettings &settings, const QImage &reference,
                                             const ButteraugliDistance &butteraugli, int runs)
{
    Compressed compressed;
    QList<double> times;
    for (int run = 0; run < runs; ++run) {
        QElapsedTimer timer;
        timer.start();
        const CompressionResult result = service.compressFile(QUrl::fromLocalFile(photo), settings);
        times.append(double(timer.nsecsElapsed()) / 1e6);
        if (result.status != CompressionResultStatus::success || !result.outputURL)
            return std::nullopt;
        QFile output(result.outputURL->toLocalFile());
        if (run == 0) {
            if (!output.open(QIODevice::ReadOnly))
                return std::nullopt;
            const auto distance = butteraugli.compareEncoded(reference, output.readAll());
            if (!distance)
                return std::nullopt;
            compressed.bytes = *result.compressedBytes;
            compressed.distance = distance->max;
            compressed.quality = result.chosenQuality.value_or(CompressionSettings().jpegQuality);
        }
        output.remove();
    }
    compressed.milliseconds = BenchSupport::median(times);
    return compressed;
}

// The automatic quality over the corpus against the fixed quality 75.
int autoQuality(const CompressionService &service, const InstallLayout &layout, const QFileInfoList &photos,
                const QTemporaryDir &scratch, int runs, double target, bool compareWhole)
{
    const ButteraugliDistance butteraugli(2);
    const EncoderTable encoders = EncoderTable::standard(CompressionSettings{}, layout);
    const CompressionSettings::QualityScale panel = CompressionSettings::qualityScale(OutputFormat::jpeg);
    const AutoQualitySearch::Range range{panel.minimum, panel.maximum, panel.defaultValue};
    CompressionSettings automatic;
    automatic.autoQuality = true;
    std::printf("\nautomatic quality (service target %.2f, searches here at %.2f)\n", AutoQualitySearch::defaultDistance,
                target);
    std::printf("%-34s | %-22s | %-30s | %-19s\n", "photo", "q75 KiB dist ms", "auto KiB dist q encodes ms",
                compareWhole ? "search whole/tiles" : "");
    std::fflush(stdout);
    qint64 fixedBytes = 0, autoBytes = 0;
    double fixedWorst = 0, autoWorst = 0;
    QList<double> timeRatios;
    int sameQuality = 0, largestGap = 0;
    qint64 wholeBytes = 0;
    double wholeWorst = 0;
    for (const QFileInfo &photo : photos) {
        const QString copy = scratch.filePath(QStringLiteral("auto-") + photo.fileName());
        if (!QFile::exists(copy) && !QFile::copy(photo.filePath(), copy))
            return 2;
        const QUrl url = QUrl::fromLocalFile(copy);
        const auto source = ImageSource::create(url);
        const auto decoded = source ? source->createImageAtIndex0() : std::nullopt;
        auto profile = ImageFormatDetector().detect(url);
        if (!decoded || !profile || !profile->source->readContents())
            return 2;
        const QImage reference = ButteraugliDistance::measurable(decoded->image);
        // The same search on the whole picture and on its tiles, as the service makes it.
        auto file = PrivateFile::create(scratch.path());
        if (!file)
            return 2;
        const AutoQualitySearch::Encode encode = [&](int quality, const std::shared_ptr<const DecodedImage> &picture)
            -> Expected<QByteArray> {
            ImageProfile trial = *profile;
            trial.picture = picture;
            if (const auto written = encoders.jpegScale->encoderAt(quality)->compress(trial, *file, url); !written)
                return failure(written.error());
            return file->readAll();
        };
        const auto fixed = compressAndMeasure(service, copy, {}, reference, butteraugli, runs);
        // At another target than the service's, the tiles' search chooses and the service
        // writes the whole picture at that quality: bytes and distances as the service would
        // give them at that target, times not.
        std::optional<Compressed> chosen;
        std::optional<Expected<AutoQualitySearch::Choice>> tiles; // the tiles' search, once made here
        int encodes = 0;
        if (target == AutoQualitySearch::defaultDistance) {
            chosen = compressAndMeasure(service, copy, automatic, reference, butteraugli, runs);
            encodes = lastAutoEncodes;
        } else if (tiles = AutoQualitySearch::run(range, *decoded, target, encode); *tiles) {
            CompressionSettings at;
            at.jpegQuality = (*tiles)->quality;
            chosen = compressAndMeasure(service, copy, at, reference, butteraugli, runs);
            if (chosen)
                chosen->quality = (*tiles)->quality;
            encodes = (*tiles)->trials + 1;
        }
        if (!fixed || !chosen) {
            std::fprintf(stderr, "%s: not compressed\n", qPrintable(photo.fileName()));
            return 2;
        }
        std::printf("%-34s | %7.0f %5.2f %7.0f | %7.0f %5.2f %3d %2d %7.0f |",
                    qPrintable(photo.completeBaseName().left(34)), fixed->bytes / 1024.0, fixed->distance,
                    fixed->milliseconds, chosen->bytes / 1024.0, chosen->distance, chosen->quality, encodes,
                    chosen->milliseconds);
        fixedBytes += fixed->bytes, autoBytes += chosen->bytes;
        fixedWorst = std::max(fixedWorst, fixed->distance), autoWorst = std::max(autoWorst, chosen->distance);
        timeRatios.append(chosen->milliseconds / fixed->milliseconds);
        if (!compareWhole) {
            std::printf("\n");
            std::fflush(stdout);
            continue;
        }
        const auto whole = AutoQualitySearch::run(range, *decoded, target, encode, false);
        const auto small = tiles ? *tiles : AutoQualitySearch::run(range, *decoded, target, encode);
        if (!whole || !small)
            return 2;
        // What the whole picture's search would write: the bytes an exact search spends.
        CompressionSettings atWhole;
        atWhole.jpegQuality = whole->quality;
        const auto exact = compressAndMeasure(service, copy, atWhole, reference, butteraugli, 1);
        if (!exact)
            return 2;
        wholeBytes += exact->bytes, wholeWorst = std::max(wholeWorst, exact->distance);
        std::printf(" %3d %5.2f / %3d %5.2f\n", whole->quality, whole->distance.value_or(qQNaN()), small->quality,
                    small->distance.value_or(qQNaN()));
        std::fflush(stdout);
        sameQuality += whole->quality == small->quality;
        largestGap = std::max(largestGap, std::abs(whole->quality - small->quality));
    }
    std::printf("bytes: auto %lld, q75 %lld (%.3fx); largest distance: auto %.3f, q75 %.3f; median time auto/q75 "
                "%.2fx (%d runs)\n",
                qlonglong(autoBytes), qlonglong(fixedBytes), double(autoBytes) / double(fixedBytes), autoWorst,
                fixedWorst, BenchSupport::median(timeRatios), runs);
    if (compareWhole)
        std::printf("whole vs tiles search: %d of %lld the same quality, at most %d apart; the whole's search "
                    "writes %.3fx q75's bytes, largest distance %.3f\n",
                    sameQuality, qlonglong(photos.size()), largestGap, double(wholeBytes) / double(fixedBytes),
                    wholeWorst);
    return 0;
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
    const QCommandLineOption onlyOption(QStringLiteral("only"), QStringLiteral("auto: the automatic quality alone."),
                                        QStringLiteral("PART"));
    const QCommandLineOption distanceOption(QStringLiteral("distance"),
                                            QStringLiteral("The automatic quality's target distance for the searches."),
                                            QStringLiteral("D"), QString::number(AutoQualitySearch::defaultDistance));
    const QCommandLineOption wholeOption(QStringLiteral("whole"),
                                         QStringLiteral("Also search every whole picture (slow) against its tiles."));
    const QCommandLineOption matchOption(QStringLiteral("match"), QStringLiteral("Only photos whose name holds this."),
                                         QStringLiteral("TEXT"));
    parser.addOptions({runsOption, targetOption, onlyOption, distanceOption, wholeOption, matchOption});
    parser.addPositionalArgument(QStringLiteral("corpus"), QStringLiteral("Folder holding jpg/."));
    parser.process(app);
    const int runs = std::max(1, parser.value(runsOption).toInt());
    const int target = std::max(1, parser.value(targetOption).toInt());
    const QString corpus = parser.positionalArguments().value(0, QStringLiteral("/tmp/pressel-corpus/corpus"));

    QFileInfoList photos = BenchSupport::corpusFiles(corpus + QStringLiteral("/jpg"),
                                                     {QStringLiteral("*.jpg"), QStringLiteral("*.jpeg")});
    photos.removeIf([&](const QFileInfo &photo) { return !photo.fileName().contains(parser.value(matchOption)); });
    QTemporaryDir scratch;
    if (photos.isEmpty() || !scratch.isValid()) {
        std::fprintf(stderr, "no JPEG photos in %s/jpg (build the corpus with make-corpus.sh)\n", qPrintable(corpus));
        return 2;
    }
    const InstallLayout layout = InstallLayout::forBinFolder(QStringLiteral(PRESSEL_BENCH_BIN_DIR));
    const auto service = makeStandardCompressionService(layout);
    service->setWorkerCount(1);
    const QString only = parser.value(onlyOption);
    if (only == QLatin1String("auto"))
        return autoQuality(*service, layout, photos, scratch, runs, parser.value(distanceOption).toDouble(),
                           parser.isSet(wholeOption));

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
    if (!only.isEmpty())
        return 0;
    return autoQuality(*service, layout, photos, scratch, runs, parser.value(distanceOption).toDouble(),
                           parser.isSet(wholeOption));
}
