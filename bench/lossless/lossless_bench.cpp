// SPDX-License-Identifier: GPL-3.0-or-later
// The lossless building blocks over a corpus of real photos and PNGs, file by file.
//
// JPEG: the bundled mozjpeg jpegtran with jpegtranArguments() (metadata stripped) and the marker
// pruning, against the source's bytes, against the lossy road as the service takes it
// (detection, which decodes, then PPM and cjpeg at quality 75), against mozjpeg's other
// lossless way (-revert: libjpeg's standard progressive script, no scan search) and against
// libjpeg-turbo's jpegtran -optimize -progressive from the PATH; for each corpus photo as
// shipped and as a camera writes it (re-encoded by libjpeg-turbo's cjpeg, baseline with the
// standard Huffman tables). Every output's pixels are checked against the source's with
// libjpeg-turbo's djpeg.
//
// PNG: optimizePNG() against today's lossless road (the in-process encoder: Qt's writer at
// zlib's level 9), optipng -o2 and zopflipng with its defaults, with the time per megapixel.
// Every output's pixels are checked against the source's with Qt's reader (16-bit RGBA).
//
// Times are medians of --runs runs (default 3), the ways interleaved; zopflipng, which takes
// tens of seconds per megapixel, runs once per file (--no-zopflipng leaves it out). Beside the
// wall-clock times the CPU time (this process and the tools it waited for) is shown: on a
// shared machine it is the steadier figure, and the one the time per megapixel is taken from.

#include "BenchSupport.h"
#include "CorpusFiles.h"
#include "ImageFormatDetector.h"
#include "InstallLayout.h"
#include "JPEGMarkerPruning.h"
#include "JPEGEncoder.h"
#include "JPEGTranArguments.h"
#include "PNGOptimizer.h"
#include "PNGEncoder.h"
#include "PrivateFile.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QImage>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>

#include <sys/resource.h>

using namespace pressel;

using BenchSupport::median;
using BenchSupport::quietPipelineLog;

namespace {

// CPU time used so far by this process and by its children that have been waited for.
double cpuMilliseconds()
{
    const auto total = [](int who) {
        rusage usage{};
        getrusage(who, &usage);
        return (usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) * 1e3 +
               (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e3;
    };
    return total(RUSAGE_SELF) + total(RUSAGE_CHILDREN);
}

// Wall-clock and CPU time of one step.
struct Stopwatch {
    QElapsedTimer wall;
    double cpuStart = cpuMilliseconds();
    Stopwatch() { wall.start(); }
    double wallMilliseconds() const { return double(wall.nsecsElapsed()) / 1e6; }
    double cpu() const { return cpuMilliseconds() - cpuStart; }
};

QByteArray readFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// A tool's standard output for these arguments, its standard input the file; empty on failure.
QByteArray runTool(const QString &program, const QStringList &arguments, const QString &input = {})
{
    QProcess process;
    process.setProcessChannelMode(QProcess::SeparateChannels);
    if (!input.isEmpty())
        process.setStandardInputFile(input);
    process.start(program, arguments);
    if (!process.waitForFinished(-1) || process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0) {
        fprintf(stderr, "%s failed: %s\n", qPrintable(program), process.readAllStandardError().constData());
        return {};
    }
    return process.readAllStandardOutput();
}

// The pixels djpeg decodes, as PPM or PGM bytes.
QByteArray djpegPixels(const QString &djpeg, const QByteArray &jpeg, const QString &scratch)
{
    const QString path = scratch + QStringLiteral("/decode.jpg");
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(jpeg) != jpeg.size())
        return {};
    file.close();
    return runTool(djpeg, {}, path);
}

QImage rgba64(const QByteArray &bytes)
{
    return QImage::fromData(bytes).convertToFormat(QImage::Format_RGBA64);
}

qint64 imageFileSize(const QString &path)
{
    return QFileInfo(path).exists() ? QFileInfo(path).size() : -1;
}

double percentSaved(qint64 before, qint64 after)
{
    return 100.0 * double(before - after) / double(before);
}

struct Road {
    double milliseconds = 0;
    double cpu = 0;
    qint64 bytes = -1;
};

// The service's way through a road: detection (which decodes the source), then the road into a
// private file of the scratch folder.
Road runRoad(const Encoder &road, const QString &source, const QString &scratch)
{
    const Stopwatch watch;
    const auto detected = ImageFormatDetector().detect(QUrl::fromLocalFile(source));
    auto output = PrivateFile::create(scratch);
    // Detection reads the header only; the service then reads the whole file, as here.
    const auto written = detected && output && detected->source->readContents()
                             ? road.compress(*detected, *output, QUrl::fromLocalFile(scratch + QStringLiteral("/out")))
                             : Expected<void>(failure(Failure(Failure::readFailed)));
    Road result{watch.wallMilliseconds(), watch.cpu(), written ? output->size() : -1};
    return result;
}

// A camera's kind of JPEG made from a corpus photo: libjpeg-turbo's cjpeg at quality 92 with
// 4:2:2 chroma, baseline and with the standard Huffman tables, as camera firmware writes them.
QString cameraJPEG(const QString &djpeg, const QString &cjpeg, const QString &source, const QString &folder)
{
    const QString ppm = folder + QStringLiteral("/camera.ppm");
    const QString output = folder + u'/' + QFileInfo(source).completeBaseName() + QStringLiteral("_camera.jpg");
    QFile pixels(ppm);
    const QByteArray decoded = runTool(djpeg, {}, source);
    if (decoded.isEmpty() || !pixels.open(QIODevice::WriteOnly | QIODevice::Truncate) ||
        pixels.write(decoded) != decoded.size())
        return {};
    pixels.close();
    const QByteArray encoded = runTool(
        cjpeg, {QStringLiteral("-quality"), QStringLiteral("92"), QStringLiteral("-sample"), QStringLiteral("2x1")},
        ppm);
    QFile::remove(ppm);
    QFile file(output);
    if (encoded.isEmpty() || !file.open(QIODevice::WriteOnly | QIODevice::Truncate) ||
        file.write(encoded) != encoded.size())
        return {};
    return output;
}

struct JPEGSet {
    QList<double> saved, otherSaved, turboSaved, ratios, cpuRatios;
    qint64 source = 0, lossless = 0, turbo = 0;
};

bool benchJPEG(const QString &folder, int runs, const InstallLayout &bundle, const QString &scratch)
{
    const auto jpegtranURL = bundle.bundledTool(QStringLiteral("jpegtran"));
    const QString turbo = QStandardPaths::findExecutable(QStringLiteral("jpegtran"));
    const QString djpeg = QStandardPaths::findExecutable(QStringLiteral("djpeg"));
    const QString turboCJPEG = QStandardPaths::findExecutable(QStringLiteral("cjpeg"));
    if (!jpegtranURL || !QFileInfo(jpegtranURL->toLocalFile()).isExecutable() || turbo.isEmpty() || djpeg.isEmpty() ||
        turboCJPEG.isEmpty()) {
        fprintf(stderr, "needs the bundled jpegtran and libjpeg-turbo's jpegtran, djpeg and cjpeg on the PATH\n");
        return false;
    }
    const QString jpegtran = jpegtranURL->toLocalFile();
    const FallbackEncoder lossy = makeJPEGEncoder(bundle, 75);
    QList<std::pair<QString, bool>> inputs; // path, camera-like
    for (const QFileInfo &file : BenchSupport::corpusFiles(folder, {QStringLiteral("*.jpg")})) {
        inputs.append({file.absoluteFilePath(), false});
        if (const QString camera = cameraJPEG(djpeg, turboCJPEG, file.absoluteFilePath(), scratch); !camera.isEmpty())
            inputs.append({camera, true});
    }
    // mozjpeg's other lossless way: libjpeg's standard progressive script instead of the scan search.
    const QStringList other = QStringList{QStringLiteral("-revert")}
                              << jpegtranArguments(MetadataPolicy::strip, JPEGFrame{}).arguments;
    printf("JPEG: %s, median of %d runs; \"other\": mozjpeg's jpegtran %s\n", qPrintable(jpegtran), runs,
           qPrintable(other.join(u' ')));
    printf("%-42s %5s %9s | %9s %6s %6s | %6s %6s %6s | %6s %6s | %6s %6s | %s\n", "file", "MP", "source B", "lossless",
           "saved", "cpu", "lossy", "ratio", "cpu", "other", "cpu", "turbo", "cpu", "pixels");
    JPEGSet sets[2];
    bool identical = true;
    for (const auto &[path, camera] : inputs) {
        QList<double> losslessTimes, lossyTimes, turboCPU, otherCPU, losslessCPU, lossyCPU;
        QByteArray lossless, otherOutput, turboOutput;
        int lossyFailures = 0;
        for (int run = 0; run < runs; ++run) {
            const Stopwatch watch;
            const QByteArray source = readFile(path);
            const auto frame = JPEGFrame::read(source);
            const JPEGTranArguments plan = jpegtranArguments(MetadataPolicy::strip, frame.value_or(JPEGFrame{}));
            lossless = pruneJPEGMarkers(runTool(jpegtran, plan.arguments, path), MetadataPolicy::strip,
                                        plan.remainingOrientation)
                           .value_or(QByteArray());
            losslessTimes.append(watch.wallMilliseconds());
            losslessCPU.append(watch.cpu());

            const Road road = runRoad(lossy, path, scratch);
            lossyFailures += road.bytes < 0;
            lossyTimes.append(road.milliseconds);
            lossyCPU.append(road.cpu);

            const Stopwatch otherWatch;
            otherOutput = runTool(jpegtran, other, path);
            otherCPU.append(otherWatch.cpu());

            const Stopwatch turboWatch;
            turboOutput = runTool(turbo,
                                  {QStringLiteral("-copy"), QStringLiteral("none"), QStringLiteral("-optimize"),
                                   QStringLiteral("-progressive")},
                                  path);
            turboCPU.append(turboWatch.cpu());
        }
        const QByteArray source = readFile(path);
        const QByteArray sourcePixels = djpegPixels(djpeg, source, scratch);
        const bool same = !lossless.isEmpty() && !sourcePixels.isEmpty() &&
                          djpegPixels(djpeg, lossless, scratch) == sourcePixels &&
                          djpegPixels(djpeg, otherOutput, scratch) == sourcePixels &&
                          djpegPixels(djpeg, turboOutput, scratch) == sourcePixels;
        identical = identical && same;
        const auto frame = JPEGFrame::read(source);
        const double megapixels = frame ? double(frame->size.width()) * frame->size.height() / 1e6 : 0;
        JPEGSet &set = sets[camera];
        set.saved.append(percentSaved(source.size(), lossless.size()));
        set.otherSaved.append(percentSaved(source.size(), otherOutput.size()));
        set.turboSaved.append(percentSaved(source.size(), turboOutput.size()));
        set.ratios.append(median(losslessTimes) / median(lossyTimes));
        set.cpuRatios.append(median(losslessCPU) / median(lossyCPU));
        set.source += source.size();
        set.lossless += lossless.size();
        set.turbo += turboOutput.size();
        printf("%-42s %5.1f %9lld | %9lld %5.1f%% %6.0f | %6.0f %6.3f %6.3f | %5.1f%% %6.0f | %5.1f%% %6.0f | %s%s\n",
               qPrintable(QFileInfo(path).fileName()), megapixels, source.size(), qlonglong(lossless.size()),
               set.saved.last(), median(losslessCPU), median(lossyCPU), set.ratios.last(), set.cpuRatios.last(),
               set.otherSaved.last(), median(otherCPU), set.turboSaved.last(), median(turboCPU),
               same ? "same" : "DIFFERENT", lossyFailures ? " (lossy road failed)" : "");
    }
    for (const bool camera : {false, true}) {
        const JPEGSet &set = sets[camera];
        if (set.saved.isEmpty())
            continue;
        printf("JPEG %s: %lld -> %lld bytes (%.1f%% saved), turbo %lld (%.1f%%); median saving %.1f%% (other %.1f%%, "
               "turbo %.1f%%); median time vs the lossy road %.3fx wall, %.3fx CPU\n",
               camera ? "camera-like" : "as shipped", set.source, set.lossless, percentSaved(set.source, set.lossless),
               set.turbo, percentSaved(set.source, set.turbo), median(set.saved), median(set.otherSaved),
               median(set.turboSaved), median(set.ratios), median(set.cpuRatios));
    }
    printf("JPEG pixels (djpeg): %s\n\n", identical ? "identical for every file and way" : "DIFFER");
    return identical;
}

bool benchPNG(const QString &folder, int runs, bool withZopfli, const InstallLayout &bundle, const QString &scratch)
{
    const QString optipng = QStandardPaths::findExecutable(QStringLiteral("optipng"));
    const QString zopflipng = QStandardPaths::findExecutable(QStringLiteral("zopflipng"));
    if (optipng.isEmpty() || (withZopfli && zopflipng.isEmpty())) {
        fprintf(stderr, "needs optipng and zopflipng on the PATH (Debian's optipng and zopfli)\n");
        return false;
    }
    const QFileInfoList files = BenchSupport::corpusFiles(folder, {QStringLiteral("*.png")});
    const FallbackEncoder today = makePNGEncoder(bundle, std::nullopt, MetadataPolicy::strip);
    printf("PNG: median of %d runs%s\n", runs, withZopfli ? ", zopflipng once" : "");
    printf("%-36s %5s %9s | %9s %6s %6s %5s | %9s %6s | %9s %6s | %9s %7s | %s\n", "file", "MP", "source B", "optimize",
           "ms", "cpu", "s/MP", "today B", "cpu", "optipng", "cpu", "zopfli B", "cpu", "pixels");
    qint64 totalSource = 0, totalOurs = 0, totalToday = 0, totalOptipng = 0, totalZopfli = 0;
    QList<double> secondsPerMegapixel;
    double worst = 0;
    bool identical = true;
    const QString optipngOutput = scratch + QStringLiteral("/optipng.png");
    const QString zopfliOutput = scratch + QStringLiteral("/zopfli.png");
    for (const QFileInfo &file : files) {
        const QString path = file.absoluteFilePath();
        const QByteArray source = readFile(path);
        QList<double> ourTimes, ourCPU, todayTimes, optipngTimes;
        std::optional<QByteArray> ours;
        Road road;
        for (int run = 0; run < runs; ++run) {
            const Stopwatch watch;
            ours = optimizePNG(source, false);
            ourTimes.append(watch.wallMilliseconds());
            ourCPU.append(watch.cpu());
            road = runRoad(today, path, scratch);
            todayTimes.append(road.cpu);
            QFile::remove(optipngOutput);
            const Stopwatch optipngWatch;
            runTool(optipng, {QStringLiteral("-quiet"), QStringLiteral("-o2"), QStringLiteral("-out"), optipngOutput,
                              QStringLiteral("--"), path});
            optipngTimes.append(optipngWatch.cpu());
        }
        double zopfliMs = 0;
        if (withZopfli) {
            QFile::remove(zopfliOutput);
            const Stopwatch watch;
            runTool(zopflipng, {QStringLiteral("-y"), path, zopfliOutput});
            zopfliMs = watch.cpu();
        }
        const QImage sourcePixels = rgba64(source);
        const bool same = ours && !sourcePixels.isNull() && rgba64(*ours) == sourcePixels;
        identical = identical && same;
        const double megapixels = double(sourcePixels.width()) * sourcePixels.height() / 1e6;
        const double ourMs = median(ourTimes);
        const double perMegapixel = median(ourCPU) / 1000.0 / megapixels;
        secondsPerMegapixel.append(perMegapixel);
        worst = std::max(worst, perMegapixel);
        // A tool that does not make the file smaller leaves the source as it is.
        const auto kept = [&](qint64 bytes) {
            return bytes < 0 ? source.size() : std::min<qint64>(bytes, source.size());
        };
        const qint64 optipngBytes = kept(imageFileSize(optipngOutput));
        const qint64 zopfliBytes = withZopfli ? kept(imageFileSize(zopfliOutput)) : 0;
        totalSource += source.size();
        totalOurs += ours ? kept(ours->size()) : source.size();
        totalToday += kept(road.bytes);
        totalOptipng += optipngBytes;
        totalZopfli += zopfliBytes;
        printf("%-36s %5.2f %9lld | %9lld %6.0f %6.0f %5.2f | %9lld %6.0f | %9lld %6.0f | %9lld %7.0f | %s\n",
               qPrintable(file.fileName()), megapixels, source.size(), qlonglong(ours ? ours->size() : -1), ourMs,
               median(ourCPU), perMegapixel, road.bytes, median(todayTimes), optipngBytes, median(optipngTimes),
               zopfliBytes, zopfliMs, same ? "same" : "DIFFERENT");
    }
    printf("PNG totals (each way's output kept only when smaller than its source): source %lld, optimizePNG %lld "
           "(%.1f%% below today's %lld), optipng -o2 %lld (optimizePNG %.1f%% below it)",
           totalSource, totalOurs, percentSaved(totalToday, totalOurs), totalToday, totalOptipng,
           percentSaved(totalOptipng, totalOurs));
    if (withZopfli)
        printf(", zopflipng %lld (optimizePNG %.1f%% below it)", totalZopfli, percentSaved(totalZopfli, totalOurs));
    printf("; optimizePNG median %.2f s/MP of CPU, slowest %.2f s/MP; pixels %s\n", median(secondsPerMegapixel), worst,
           identical ? "identical for every file" : "DIFFER");
    return identical;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    qInstallMessageHandler(quietPipelineLog);
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("The lossless JPEG and PNG building blocks over a corpus."));
    parser.addHelpOption();
    const QCommandLineOption runsOption(QStringLiteral("runs"), QStringLiteral("Timed runs per way and file."),
                                        QStringLiteral("N"), QStringLiteral("3"));
    const QCommandLineOption noZopfliOption(QStringLiteral("no-zopflipng"), QStringLiteral("Leave zopflipng out."));
    const QCommandLineOption onlyOption(QStringLiteral("only"), QStringLiteral("jpg or png: one half only."),
                                        QStringLiteral("KIND"));
    parser.addOptions({runsOption, noZopfliOption, onlyOption});
    parser.addPositionalArgument(QStringLiteral("corpus"),
                                 QStringLiteral("Folder with jpg/ and png/ (default: make-corpus.sh's)."));
    parser.process(app);
    const int runs = std::max(1, parser.value(runsOption).toInt());
    const QString corpus = parser.positionalArguments().value(0, QStringLiteral("/tmp/pressel-corpus/corpus"));
    const InstallLayout bundle = InstallLayout::forBinFolder(QStringLiteral(PRESSEL_BENCH_BIN_DIR));
    QTemporaryDir scratch;
    if (!scratch.isValid())
        return 2;
    qputenv("TMPDIR", QFile::encodeName(scratch.path())); // the lossy road's PPMs
    const QString only = parser.value(onlyOption);
    bool ok = true;
    if (only != u"png")
        ok = benchJPEG(QDir(corpus).filePath(QStringLiteral("jpg")), runs, bundle, scratch.path()) && ok;
    if (only != u"jpg")
        ok = benchPNG(QDir(corpus).filePath(QStringLiteral("png")), runs, !parser.isSet(noZopfliOption), bundle,
                      scratch.path()) &&
             ok;
    return ok ? 0 : 1;
}
