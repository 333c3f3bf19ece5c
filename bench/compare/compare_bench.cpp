// SPDX-License-Identifier: GPL-3.0-or-later
// How soon the before/after view shows a large photo and how much memory it takes: the decodes
// the view asks for (ComparisonImageProvider::picture, source and output side by side on two
// threads, as the provider's pool runs them) at fit and at 100 % of a view, for a 24 MP and a
// 200 MP photo and the outputs the real pipeline makes of them.
//
// Each measurement runs in a child process of its own, so its peak resident memory (VmHWM) is
// its own and no earlier decode warms its heap. Times are medians of --runs runs (default 3).
// "first picture" at fit is the source's upright size read from its header plus both sides at
// the view's size; at 100 % it is both sides' visible part, at the picture's centre, at full
// resolution.

#include "BenchSupport.h"
#include "InstallLayout.h"
#include "ComparisonImageProvider.h"
#include "CompressionService.h"
#include "ImageCodec.h"
#include "StandardCompressionService.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRandomGenerator>
#include <QtConcurrent>

#include <algorithm>
#include <cstdio>

using namespace pressel;

using BenchSupport::median;
using BenchSupport::quietPipelineLog;

namespace {

// The process's peak resident memory in MiB, from /proc.
double peakResidentMiB()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith("VmHWM:"))
            return line.mid(6).trimmed().split(' ').value(0).toDouble() / 1024.0;
    }
    return -1;
}

// A photo-like JPEG of width x height made by the bundled cjpeg from rows of a PPM written as
// they are made, so that not even the generator holds the picture: smooth gradients, soft
// blotches and fine grain.
bool writePhoto(const QString &path, int width, int height, const QString &cjpeg)
{
    QProcess encoder;
    encoder.setStandardOutputFile(path);
    encoder.start(cjpeg, {QStringLiteral("-quality"), QStringLiteral("92"), QStringLiteral("-baseline")});
    if (!encoder.waitForStarted())
        return false;
    encoder.write(QStringLiteral("P6\n%1 %2\n255\n").arg(width).arg(height).toLatin1());
    QRandomGenerator random(7);
    QByteArray row(qsizetype(width) * 3, Qt::Uninitialized);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const double u = double(x) / width, v = double(y) / height;
            const int grain = int(random.bounded(24)) - 12;
            const double blotch = 40 * std::sin(u * 37) * std::cos(v * 23);
            row[3 * x] = char(std::clamp(int(60 + 150 * u + blotch) + grain, 0, 255));
            row[3 * x + 1] = char(std::clamp(int(90 + 100 * v - blotch / 2) + grain, 0, 255));
            row[3 * x + 2] = char(std::clamp(int(200 - 120 * u * v + blotch) + grain, 0, 255));
        }
        encoder.write(row);
        while (encoder.bytesToWrite() > (8 << 20))
            encoder.waitForBytesWritten(-1);
    }
    encoder.closeWriteChannel();
    return encoder.waitForFinished(-1) && encoder.exitCode() == 0 && QFileInfo(path).size() > 0;
}

// One measurement, in this process: prints "<milliseconds> <peak MiB>".
int measure(const QString &source, const QString &output, const QString &mode, const QSize &view)
{
    QElapsedTimer timer;
    timer.start();
    const auto imageSource = ImageSource::create(QUrl::fromLocalFile(source));
    const auto size = imageSource ? imageSource->uprightSize() : std::nullopt;
    if (!size)
        return 1;
    QRect region(QPoint(), *size);
    QSize decodeSize;
    if (mode == u"fit") {
        decodeSize = size->scaled(view, Qt::KeepAspectRatio);
    } else {
        region = QRect(QPoint(), view).translated(region.center() - QRect(QPoint(), view).center()) & region;
        decodeSize = region.size();
    }
    // Each side's picture and when it was there.
    const auto decode = [&](const QString &file) {
        auto picture = ComparisonImageProvider::picture(
            ComparisonImageProvider::pictureId(QUrl::fromLocalFile(file), region, *size), decodeSize);
        return std::pair(picture, double(timer.nsecsElapsed()) / 1e6);
    };
    auto outputSide = QtConcurrent::run(decode, output);
    const auto [sourcePicture, sourceTime] = decode(source);
    const auto [outputPicture, outputTime] = outputSide.result();
    if (!sourcePicture || !outputPicture || sourcePicture->size() != outputPicture->size())
        return 1;
    printf("%.1f %.1f %.1f %.1f\n", std::max(sourceTime, outputTime), peakResidentMiB(), sourceTime, outputTime);
    return 0;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    qInstallMessageHandler(quietPipelineLog);
    QCommandLineParser parser;
    parser.addOption(
        {QStringLiteral("runs"), QStringLiteral("Runs per measurement."), QStringLiteral("N"), QStringLiteral("3")});
    parser.addOption({QStringLiteral("view"), QStringLiteral("The view's size in device pixels."),
                      QStringLiteral("WxH"), QStringLiteral("1280x800")});
    parser.addOption({QStringLiteral("measure"), QStringLiteral("(internal) One measurement."),
                      QStringLiteral("SOURCE,OUTPUT,MODE")});
    parser.addPositionalArgument(QStringLiteral("folder"), QStringLiteral("Where the generated photos are kept."));
    parser.addHelpOption();
    parser.process(app);
    const QStringList viewParts = parser.value(QStringLiteral("view")).split(u'x');
    const QSize view(viewParts.value(0).toInt(), viewParts.value(1).toInt());
    if (view.isEmpty())
        parser.showHelp(2);

    if (parser.isSet(QStringLiteral("measure"))) {
        const QStringList what = parser.value(QStringLiteral("measure")).split(u',');
        return what.size() == 3 ? measure(what[0], what[1], what[2], view) : 2;
    }

    const QString folder = parser.positionalArguments().value(0, QStringLiteral("/tmp/pressel-bench-compare"));
    QDir().mkpath(folder);
    const InstallLayout bundle = InstallLayout::forBinFolder(QStringLiteral(PRESSEL_BENCH_BIN_DIR));
    const auto cjpeg = bundle.bundledTool(QStringLiteral("cjpeg"));
    if (!cjpeg) {
        fprintf(stderr, "No bundled cjpeg.\n");
        return 1;
    }
    const auto service = makeStandardCompressionService(bundle);
    const int runs = std::max(1, parser.value(QStringLiteral("runs")).toInt());

    struct Photo {
        const char *name;
        QSize size;
    };
    printf("view %dx%d, %d runs, median time to first picture (both sides), peak resident memory\n", view.width(),
           view.height(), runs);
    for (const Photo &photo : {Photo{"24mp", {6000, 4000}}, Photo{"200mp", {17320, 11547}}}) {
        const QString source = QDir(folder).filePath(QStringLiteral("%1.jpg").arg(QLatin1String(photo.name)));
        const QString output = QDir(folder).filePath(QStringLiteral("%1-1.jpg").arg(QLatin1String(photo.name)));
        if (!QFileInfo::exists(source)) {
            fprintf(stderr, "Generating %s...\n", qPrintable(source));
            if (!writePhoto(source, photo.size.width(), photo.size.height(), cjpeg->toLocalFile()))
                return 1;
        }
        if (!QFileInfo::exists(output)) {
            fprintf(stderr, "Compressing %s...\n", qPrintable(source));
            const CompressionResult result = service->compressFile(QUrl::fromLocalFile(source));
            if (!result.outputURL || result.outputURL->toLocalFile() != output) {
                fprintf(stderr, "No output for %s\n", qPrintable(source));
                return 1;
            }
        }
        for (const char *mode : {"fit", "100%"}) {
            QList<double> times, sourceTimes, outputTimes;
            double peak = 0;
            for (int run = 0; run < runs; ++run) {
                QProcess child;
                child.start(QCoreApplication::applicationFilePath(),
                            {QStringLiteral("--view"), parser.value(QStringLiteral("view")),
                             QStringLiteral("--measure"), QStringList{source, output, QLatin1String(mode)}.join(u',')});
                if (!child.waitForFinished(-1) || child.exitCode() != 0) {
                    fprintf(stderr, "Measuring %s at %s failed.\n", photo.name, mode);
                    return 1;
                }
                const QList<QByteArray> figures = child.readAllStandardOutput().trimmed().split(' ');
                times << figures.value(0).toDouble();
                peak = std::max(peak, figures.value(1).toDouble());
                sourceTimes << figures.value(2).toDouble();
                outputTimes << figures.value(3).toDouble();
            }
            printf(
                "%-6s %-5s %8.1f ms %8.1f MiB   (source side %.1f ms, output side %.1f ms; files %.1f MB, %.1f MB)\n",
                photo.name, mode, median(times), peak, median(sourceTimes), median(outputTimes),
                QFileInfo(source).size() / 1e6, QFileInfo(output).size() / 1e6);
        }
    }
    return 0;
}
