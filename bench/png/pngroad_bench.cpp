// SPDX-License-Identifier: GPL-3.0-or-later
// Times the PNG road (chain plus the service's not-smaller rule) against the bundled pngquant
// run alone with the same nine arguments, file by file, and reports the bytes saved.
//
// Each file is copied into a scratch folder; every measurement starts from a folder holding
// only that copy. Times are the median of --runs runs (default 3), the two ways interleaved.

#include "BenchSupport.h"
#include "CorpusFiles.h"
#include "InstallLayout.h"
#include "ImageFormatDetector.h"
#include "OutputFiles.h"
#include "PNGEncoder.h"
#include "StandardCompressionService.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QTextStream>

#include <algorithm>
#include <cstdio>

using namespace pressel;

using BenchSupport::median;

namespace {

QString lastRoad; // "pngquant" or "ImageIO", from the chain's own log line

void recordRoad(QtMsgType type, const QMessageLogContext &context, const QString &message)
{
    if (qstrcmp(context.category, "com.korvane.Pressel.PNGCompression") == 0) {
        if (message.startsWith(u"PNG backend: pngquant"))
            lastRoad = QStringLiteral("pngquant");
        else if (message.startsWith(u"PNG backend: ImageIO"))
            lastRoad = QStringLiteral("ImageIO");
        return;
    }
    if (qstrncmp(context.category ? context.category : "", "com.korvane.Pressel.", 20) == 0)
        return;
    if (type >= QtWarningMsg)
        fprintf(stderr, "%s\n", qPrintable(message));
}

void clearOutputs(const QString &folder, const QString &keep)
{
    for (const QString &name : QDir(folder).entryList(QDir::Files | QDir::Hidden)) {
        if (name != keep)
            QFile::remove(QDir(folder).filePath(name));
    }
}

struct RoadRun {
    double milliseconds = 0;
    QString status;
    qint64 finalBytes = 0; // the file the user keeps: the output, or the source when not smaller
    QString road;
};

// What the service does with one PNG after inspecting it: name the output, run the chain,
// and drop an output that is not smaller than the source.
RoadRun runRoad(const FallbackEncoder &chain, const ImageProfile &profile, const QString &folder)
{
    RoadRun run;
    lastRoad.clear();
    QElapsedTimer timer;
    timer.start();
    const qint64 originalBytes = readFileSize(profile.sourceURL).value_or(0);
    const QUrl outputURL = makeUniqueOutputURL(profile.sourceURL, profile.format.fileExtension(), QUrl::fromLocalFile(folder));
    auto output = PrivateFile::create(folder);
    const auto written = output ? chain.compress(profile, *output, outputURL)
                                : Expected<void>(failure(Failure(Failure::writeFailed)));
    if (!written) {
        run.status = QStringLiteral("failed");
        run.finalBytes = originalBytes;
    } else if (output->size() >= originalBytes) {
        run.status = QStringLiteral("skipped");
        run.finalBytes = originalBytes;
    } else {
        run.status = QStringLiteral("success");
        run.finalBytes = output->size();
    }
    run.milliseconds = timer.nsecsElapsed() / 1e6;
    run.road = lastRoad;
    return run;
}

struct ToolRun {
    double milliseconds = 0;
    int exitCode = -1;
    qint64 outputBytes = -1;
};

ToolRun runPNGQuantAlone(const QString &tool, const QString &sourcePath, const QString &outputPath)
{
    ToolRun run;
    QProcess process;
    process.setProgram(tool);
    // The same arguments as the road's, the files named rather than on standard input and output.
    QStringList arguments = pngquantArguments(QualityRange{60, 80});
    arguments.removeLast();
    process.setArguments(arguments << QStringLiteral("--force") << QStringLiteral("--output") << outputPath
                                   << QStringLiteral("--") << sourcePath);
    process.setProcessChannelMode(QProcess::ForwardedOutputChannel);
    QElapsedTimer timer;
    timer.start();
    process.start();
    process.waitForFinished(-1);
    run.milliseconds = timer.nsecsElapsed() / 1e6;
    run.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    run.outputBytes = QFileInfo::exists(outputPath) ? QFileInfo(outputPath).size() : -1;
    return run;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("The PNG road against pngquant alone."));
    parser.addHelpOption();
    const QCommandLineOption runsOption(QStringLiteral("runs"), QStringLiteral("Runs per file (median)."),
                                        QStringLiteral("N"), QStringLiteral("3"));
    const QCommandLineOption binOption(QStringLiteral("bin"), QStringLiteral("The bundle's bin folder."),
                                       QStringLiteral("FOLDER"), QStringLiteral(PRESSEL_BENCH_BIN_DIR));
    const QCommandLineOption serviceOption(
        QStringLiteral("service"), QStringLiteral("Also time the whole service per file (inspection included)."));
    parser.addOptions({runsOption, binOption, serviceOption});
    parser.addPositionalArgument(QStringLiteral("corpus"), QStringLiteral("Folder of PNG files."));
    parser.process(app);

    const int runs = std::max(1, parser.value(runsOption).toInt());
    const QString corpus = parser.positionalArguments().value(0, QStringLiteral("/tmp/pressel-corpus/corpus/png"));
    const InstallLayout bundle = InstallLayout::forBinFolder(parser.value(binOption));
    const auto tool = makePNGQuantEncoder(bundle, QualityRange{60, 80}, MetadataPolicy::strip).locate();
    QTextStream out(stdout);
    if (!tool) {
        out << "no pngquant in the bundle of " << parser.value(binOption) << "\n";
        return 2;
    }
    QStringList files;
    for (const QFileInfo &file : BenchSupport::corpusFiles(corpus, {QStringLiteral("*.png")}))
        files.append(file.fileName());
    if (files.isEmpty()) {
        out << "no PNG files in " << corpus << "\n";
        return 2;
    }
    qInstallMessageHandler(recordRoad);

    const FallbackEncoder chain = makePNGEncoder(bundle, QualityRange{60, 80}, MetadataPolicy::strip);
    const auto service = makeStandardCompressionService(bundle);
    const ImageFormatDetector detector;
    QTemporaryDir scratch;

    out << "pngquant: " << tool->toLocalFile() << ", runs per file: " << runs << "\n";
    out << qSetFieldWidth(40) << Qt::left << "file" << qSetFieldWidth(10) << Qt::right << "bytes"
        << "alone ms"
        << "road ms"
        << "ratio"
        << "road out"
        << "saved"
        << "status" << qSetFieldWidth(9) << "road";
    if (parser.isSet(serviceOption))
        out << qSetFieldWidth(12) << "service ms";
    out << qSetFieldWidth(0) << "\n";

    double totalAlone = 0;
    double totalRoad = 0;
    qint64 totalOriginal = 0;
    qint64 totalFinal = 0;
    qint64 totalAloneOutput = 0;
    for (const QString &name : files) {
        const QString folder = QDir(scratch.path()).filePath(QFileInfo(name).completeBaseName());
        QDir().mkpath(folder);
        const QString source = QDir(folder).filePath(name);
        QFile::copy(QDir(corpus).filePath(name), source);
        const QString aloneOutput = QDir(scratch.path()).filePath(QStringLiteral("alone.png"));
        const auto profile = detector.detect(QUrl::fromLocalFile(source));
        if (profile)
            profile->source->readContents();
        if (!profile) {
            out << name << ": " << profile.error().text() << "\n";
            continue;
        }
        const qint64 originalBytes = QFileInfo(source).size();

        QList<double> aloneTimes;
        QList<double> roadTimes;
        QList<double> serviceTimes;
        ToolRun alone;
        RoadRun road;
        for (int run = 0; run < runs; ++run) {
            QFile::remove(aloneOutput);
            alone = runPNGQuantAlone(tool->toLocalFile(), source, aloneOutput);
            aloneTimes.append(alone.milliseconds);
            clearOutputs(folder, name);
            road = runRoad(chain, *profile, folder);
            roadTimes.append(road.milliseconds);
            clearOutputs(folder, name);
            if (parser.isSet(serviceOption)) {
                QElapsedTimer timer;
                timer.start();
                service->compressFile(QUrl::fromLocalFile(source));
                serviceTimes.append(timer.nsecsElapsed() / 1e6);
                clearOutputs(folder, name);
            }
        }
        const double aloneMs = median(aloneTimes);
        const double roadMs = median(roadTimes);
        totalAlone += aloneMs;
        totalRoad += roadMs;
        totalOriginal += originalBytes;
        totalFinal += road.finalBytes;
        totalAloneOutput += alone.exitCode == 0 ? alone.outputBytes : originalBytes;
        const double saved = 100.0 * double(originalBytes - road.finalBytes) / double(originalBytes);
        out << qSetFieldWidth(40) << Qt::left << name << qSetFieldWidth(10) << Qt::right << originalBytes
            << QString::number(aloneMs, 'f', 0) + (alone.exitCode == 0 ? QString() : QStringLiteral("!"))
            << QString::number(roadMs, 'f', 0) << QString::number(roadMs / aloneMs, 'f', 3)
            << (road.status == u"failed" ? QStringLiteral("-") : QString::number(road.finalBytes))
            << QString::number(saved, 'f', 1) + u'%' << road.status << qSetFieldWidth(9) << road.road;
        if (parser.isSet(serviceOption))
            out << qSetFieldWidth(12) << QString::number(median(serviceTimes), 'f', 0);
        out << qSetFieldWidth(0) << "\n";
        if (alone.exitCode != 0)
            out << "    (pngquant alone exited with " << alone.exitCode << ")\n";
        else if (alone.outputBytes >= originalBytes)
            out << "    (pngquant alone: " << alone.outputBytes << " bytes, "
                << QString::number(100.0 * double(alone.outputBytes - originalBytes) / double(originalBytes), 'f', 1)
                << "% larger than the source)\n";
        QDir(folder).removeRecursively();
    }
    QFile::remove(QDir(scratch.path()).filePath(QStringLiteral("alone.png")));

    out << "total: alone " << QString::number(totalAlone / 1000.0, 'f', 2) << " s, road "
        << QString::number(totalRoad / 1000.0, 'f', 2) << " s, ratio "
        << QString::number(totalRoad / totalAlone, 'f', 3) << "\n";
    out << "bytes: " << totalOriginal << " -> " << totalFinal << " kept by the road ("
        << QString::number(100.0 * double(totalOriginal - totalFinal) / double(totalOriginal), 'f', 1)
        << "% saved); pngquant alone, every output counted: " << totalAloneOutput << " ("
        << QString::number(100.0 * double(totalOriginal - totalAloneOutput) / double(totalOriginal), 'f', 1)
        << "% saved)\n";
    return 0;
}
