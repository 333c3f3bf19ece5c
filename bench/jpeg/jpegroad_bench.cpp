// SPDX-License-Identifier: GPL-3.0-or-later
// Times the mozjpeg road as the service takes it (detection, which decodes the picture, then the
// tool backend of the JPEG road: PPM, cjpeg) against its
// floor (libjpeg-turbo's djpeg to a PPM, then the bundled cjpeg on that PPM with the same
// arguments), file by file, and compares its bytes with the in-process encoder alone.
//
// Times are the median of --runs runs (default 3), the ways interleaved so that a busy machine
// weighs on all of them alike. Both wall-clock and CPU time (this process plus its children) are
// shown: on a shared machine the CPU time is the steadier figure. A breakdown of the road
// (decode, PPM bytes, PPM write, cjpeg) shows where its time goes.

#include "BenchSupport.h"
#include "CorpusFiles.h"
#include "InstallLayout.h"
#include "ImageCodec.h"
#include "ImageFormatDetector.h"
#include "InProcessEncoder.h"
#include "JPEGEncoder.h"
#include "PPMPreprocessing.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QImageReader>
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

double milliseconds(const QElapsedTimer &timer)
{
    return double(timer.nsecsElapsed()) / 1e6;
}

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

bool runTool(const QString &program, const QStringList &arguments)
{
    QProcess process;
    process.setProcessChannelMode(QProcess::ForwardedChannels);
    process.start(program, arguments);
    return process.waitForFinished(-1) && process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0;
}

QStringList cjpegArguments(const QString &output, const QString &ppm)
{
    return pressel::cjpegArguments(75) << QStringLiteral("-outfile") << output << ppm;
}

struct Breakdown {
    double decode = 0;
    double ppmBytes = 0;
    double ppmWrite = 0;
    double cjpeg = 0;
};

// The road's steps one by one, as the road takes them.
std::optional<Breakdown> measureSteps(const QString &source, const QString &cjpeg, const QString &scratch)
{
    Breakdown steps;
    QElapsedTimer timer;
    timer.start();
    const auto imageSource = ImageSource::create(QUrl::fromLocalFile(source));
    if (!imageSource)
        return std::nullopt;
    const auto image = imageSource->createImageAtIndex0();
    if (!image)
        return std::nullopt;
    steps.decode = milliseconds(timer);
    timer.restart();
    const auto ppm = makePPMData(*image);
    if (!ppm)
        return std::nullopt;
    steps.ppmBytes = milliseconds(timer);
    timer.restart();
    const QString ppmPath = scratch + QStringLiteral("/steps.ppm");
    QFile file(ppmPath); // as the road writes it: in place, not forced to disk
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(*ppm) != ppm->size() || !file.flush())
        return std::nullopt;
    file.close();
    steps.ppmWrite = milliseconds(timer);
    timer.restart();
    if (!runTool(cjpeg, cjpegArguments(scratch + QStringLiteral("/steps.jpg"), ppmPath)))
        return std::nullopt;
    steps.cjpeg = milliseconds(timer);
    QFile::remove(ppmPath);
    QFile::remove(scratch + QStringLiteral("/steps.jpg"));
    return steps;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    qInstallMessageHandler(quietPipelineLog);

    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("The mozjpeg road against djpeg + cjpeg and the in-process encoder."));
    parser.addHelpOption();
    const QCommandLineOption runsOption(QStringLiteral("runs"), QStringLiteral("Timed runs per way and file."),
                                        QStringLiteral("N"), QStringLiteral("3"));
    parser.addOption(runsOption);
    parser.addPositionalArgument(QStringLiteral("corpus"), QStringLiteral("Folder of JPEG photographs."));
    parser.process(app);
    const int runs = std::max(1, parser.value(runsOption).toInt());
    const QString corpus = parser.positionalArguments().value(0, QStringLiteral("/tmp/pressel-corpus/corpus/jpg"));

    const QString binFolder = QStringLiteral(PRESSEL_BENCH_BIN_DIR);
    const InstallLayout bundle = InstallLayout::forBinFolder(binFolder);
    const auto cjpegURL = makeMozJPEGEncoder(bundle, 0.75).locate();
    const QString djpeg = QStandardPaths::findExecutable(QStringLiteral("djpeg"));
    if (!cjpegURL || djpeg.isEmpty()) {
        fprintf(stderr, "needs the bundled cjpeg below %s and libjpeg-turbo's djpeg on the PATH\n",
                qPrintable(binFolder));
        return 2;
    }
    const QString cjpeg = cjpegURL->toLocalFile();
    const QFileInfoList files =
        BenchSupport::corpusFiles(corpus, {QStringLiteral("*.jpg"), QStringLiteral("*.jpeg")});
    if (files.isEmpty()) {
        fprintf(stderr, "no JPEG files in %s (build the corpus with make-corpus.sh)\n", qPrintable(corpus));
        return 2;
    }
    QTemporaryDir scratch;
    if (!scratch.isValid())
        return 2;
    // The road's temporary PPMs go to the same disk as the floor's.
    qputenv("TMPDIR", QFile::encodeName(scratch.path()));

    const ToolEncoder road = makeMozJPEGEncoder(bundle, 0.75);
    const InProcessEncoder imageIO(ImageFormat::Kind::jpeg, 75);
    printf("cjpeg: %s\ndjpeg: %s\nmedian of %d runs\n\n", qPrintable(cjpeg), qPrintable(djpeg), runs);
    printf("%-32s %5s | %7s %7s %5s | %7s %7s %5s | %6s %5s %5s %6s | %8s %8s %9s %6s\n", "file", "MP", "road", "floor",
           "ratio", "roadCPU", "flrCPU", "ratio", "decode", "ppm", "write", "cjpeg", "source B", "road B", "ImageIO B",
           "saved");

    double roadTotal = 0, floorTotal = 0, roadCPUTotal = 0, floorCPUTotal = 0, megapixels = 0;
    qint64 sourceBytes = 0, roadBytes = 0, floorBytes = 0, imageIOBytes = 0;
    bool ok = true;
    for (const QFileInfo &file : files) {
        ImageProfile profile;
        profile.sourceURL = QUrl::fromLocalFile(file.absoluteFilePath());
        profile.format = ImageFormat::jpeg(QStringLiteral("jpg"));
        const QString roadOutput = scratch.filePath(QStringLiteral("road.jpg"));
        const QString floorPPM = scratch.filePath(QStringLiteral("floor.ppm"));
        const QString floorOutput = scratch.filePath(QStringLiteral("floor.jpg"));
        const QString imageIOOutput = scratch.filePath(QStringLiteral("imageio.jpg"));

        QList<double> roadTimes, floorTimes, roadCPU, floorCPU;
        for (int run = 0; run < runs; ++run) {
            QFile::remove(roadOutput);
            QElapsedTimer timer;
            double cpu = cpuMilliseconds();
            timer.start();
            const auto detected = ImageFormatDetector().detect(profile.sourceURL);
            if (detected)
                detected->source->readContents();
            auto output = PrivateFile::create(scratch.path());
            const auto artifact = detected && output
                                      ? road.compress(*detected, *output, QUrl::fromLocalFile(roadOutput))
                                      : Expected<void>(failure(Failure(Failure::readFailed)));
            if (artifact) {
                QFile::remove(roadOutput);
                output->publish(QStringLiteral("road.jpg"));
            }
            roadTimes.append(milliseconds(timer));
            roadCPU.append(cpuMilliseconds() - cpu);
            if (!artifact) {
                fprintf(stderr, "%s: road failed: %s\n", qPrintable(file.fileName()),
                        qPrintable(artifact.error().text()));
                ok = false;
                break;
            }

            QFile::remove(floorOutput);
            cpu = cpuMilliseconds();
            timer.restart();
            const bool floorOK = runTool(djpeg, {QStringLiteral("-outfile"), floorPPM, file.absoluteFilePath()}) &&
                                 runTool(cjpeg, cjpegArguments(floorOutput, floorPPM));
            floorTimes.append(milliseconds(timer));
            floorCPU.append(cpuMilliseconds() - cpu);
            QFile::remove(floorPPM);
            if (!floorOK) {
                fprintf(stderr, "%s: djpeg + cjpeg failed\n", qPrintable(file.fileName()));
                ok = false;
                break;
            }
        }
        if (!ok)
            break;

        QFile::remove(imageIOOutput);
        profile.source = std::make_shared<SourceFile>(std::move(*SourceFile::open(profile.sourceURL)));
        profile.source->readContents();
        auto imageIOFile = PrivateFile::create(scratch.path());
        const auto inProcess = imageIO.compress(profile, *imageIOFile, QUrl::fromLocalFile(imageIOOutput));
        const auto steps = measureSteps(file.absoluteFilePath(), cjpeg, scratch.path());
        if (!inProcess || !steps) {
            fprintf(stderr, "%s: in-process encoder or step breakdown failed\n", qPrintable(file.fileName()));
            ok = false;
            break;
        }

        const QSize size = QImageReader(file.absoluteFilePath()).size();
        const double mp = double(size.width()) * size.height() / 1e6;
        const double roadMs = median(roadTimes);
        const double floorMs = median(floorTimes);
        const double roadCPUMs = median(roadCPU);
        const double floorCPUMs = median(floorCPU);
        const qint64 thisRoad = QFileInfo(roadOutput).size();
        const qint64 thisImageIO = imageIOFile->size();
        printf("%-32s %5.1f | %7.0f %7.0f %5.2f | %7.0f %7.0f %5.2f | %6.0f %5.0f %5.0f %6.0f | %8lld %8lld %9lld "
               "%5.1f%%\n",
               qPrintable(file.fileName().left(32)), mp, roadMs, floorMs, roadMs / floorMs, roadCPUMs, floorCPUMs,
               roadCPUMs / floorCPUMs, steps->decode, steps->ppmBytes, steps->ppmWrite, steps->cjpeg, file.size(),
               thisRoad, thisImageIO, 100.0 * (1.0 - double(thisRoad) / double(thisImageIO)));
        fflush(stdout);
        roadTotal += roadMs;
        floorTotal += floorMs;
        roadCPUTotal += roadCPUMs;
        floorCPUTotal += floorCPUMs;
        megapixels += mp;
        sourceBytes += file.size();
        roadBytes += thisRoad;
        floorBytes += QFileInfo(floorOutput).size();
        imageIOBytes += thisImageIO;
    }
    if (!ok)
        return 1;

    printf("\n%lld files, %.1f MP\n", (long long)files.size(), megapixels);
    printf("wall:  road %.0f ms, floor %.0f ms, road/floor %.3f (target <= 1.05); road %.0f ms per MP\n", roadTotal,
           floorTotal, roadTotal / floorTotal, roadTotal / megapixels);
    printf("cpu:   road %.0f ms, floor %.0f ms, road/floor %.3f (target <= 1.05); road %.0f ms per MP\n", roadCPUTotal,
           floorCPUTotal, roadCPUTotal / floorCPUTotal, roadCPUTotal / megapixels);
    printf("bytes: sources %lld, road %lld, floor %lld, in-process %lld\n", sourceBytes, roadBytes, floorBytes,
           imageIOBytes);
    printf("saved: road vs in-process %.1f%% (target >= 25%%), road vs sources %.1f%%, in-process vs sources %.1f%%\n",
           100.0 * (1.0 - double(roadBytes) / double(imageIOBytes)),
           100.0 * (1.0 - double(roadBytes) / double(sourceBytes)),
           100.0 * (1.0 - double(imageIOBytes) / double(sourceBytes)));
    return 0;
}
