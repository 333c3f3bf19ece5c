// SPDX-License-Identifier: GPL-3.0-or-later
// Times one batch of pressel-cli with one worker against one with a worker per core, over the
// JPEG and the PNG set of the corpus, and proves that both write the same files, name for name
// and byte for byte. With --memory it measures instead the peak memory of a batch of two
// 200-megapixel photos and ten phone photos, one worker against one per core.
//
// Times are medians of --runs runs (default 3), the two worker counts interleaved so that a busy
// machine weighs on both alike. Memory is the resident size of pressel-cli and its encoder
// children together, sampled every 20 ms: the peak of what the batch holds at once.

#include "BenchSupport.h"
#include <QCommandLineParser>
#include <QCoreApplication>
#include <QCryptographicHash>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QImageWriter>
#include <QMap>
#include <QPainter>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>

#include <algorithm>
#include <cstdio>
#include <optional>

using BenchSupport::median;

namespace {

// Resident kilobytes of a process and all its descendants; 0 for one that is gone.
qint64 treeResidentKiB(qint64 pid)
{
    qint64 total = 0;
    QFile status(QStringLiteral("/proc/%1/status").arg(pid));
    if (status.open(QIODevice::ReadOnly)) {
        for (const QByteArray &line : status.readAll().split('\n')) {
            if (line.startsWith("VmRSS:"))
                total += line.mid(6).trimmed().split(' ').value(0).toLongLong();
        }
    }
    const QDir tasks(QStringLiteral("/proc/%1/task").arg(pid));
    for (const QString &task : tasks.entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        QFile children(tasks.filePath(task + QStringLiteral("/children")));
        if (!children.open(QIODevice::ReadOnly))
            continue;
        for (const QByteArray &child : children.readAll().split(' ')) {
            if (!child.trimmed().isEmpty())
                total += treeResidentKiB(child.trimmed().toLongLong());
        }
    }
    return total;
}

struct BatchRun {
    double wallMs = 0;
    qint64 peakKiB = 0;
    QMap<QString, QByteArray> outputs; // file name -> SHA-256 of every file the batch wrote
    QStringList rowOrder;              // the rows' output (or source) names, in order
};

// Copies `sources` into a fresh folder and runs one batch over them there.
BatchRun runBatch(const QString &cli, const QStringList &sources, int workers)
{
    QTemporaryDir dir;
    QStringList names;
    for (const QString &source : sources) {
        const QString name = QFileInfo(source).fileName();
        QFile::copy(source, dir.filePath(name));
        names.append(name);
    }
    QProcess process;
    process.setWorkingDirectory(dir.path());
    QElapsedTimer timer;
    timer.start();
    process.start(cli, QStringList{QStringLiteral("-j"), QString::number(workers), QStringLiteral("--json")} + names);
    BatchRun run;
    if (!process.waitForStarted()) {
        fprintf(stderr, "cannot start %s\n", qPrintable(cli));
        return run;
    }
    while (!process.waitForFinished(20))
        run.peakKiB = std::max(run.peakKiB, treeResidentKiB(process.processId()));
    run.wallMs = double(timer.nsecsElapsed()) / 1e6;
    if (process.exitStatus() != QProcess::NormalExit || process.exitCode() > 1)
        fprintf(stderr, "pressel-cli failed: %s\n", process.readAllStandardError().constData());

    for (const QString &line : QString::fromUtf8(process.readAllStandardOutput()).split(u'\n')) {
        const qsizetype at = line.indexOf(QStringLiteral("\"output\": \""));
        if (at >= 0)
            run.rowOrder.append(QFileInfo(line.mid(at + 11).section(u'"', 0, 0)).fileName());
    }
    for (const QString &name : QDir(dir.path()).entryList(QDir::Files)) {
        if (names.contains(name))
            continue;
        QFile file(dir.filePath(name));
        file.open(QIODevice::ReadOnly);
        run.outputs.insert(name, QCryptographicHash::hash(file.readAll(), QCryptographicHash::Sha256));
    }
    return run;
}

void compareWorkerCounts(const QString &cli, const QString &label, const QStringList &sources, int runs, int jobs)
{
    QList<double> serial;
    QList<double> parallel;
    qint64 serialPeak = 0;
    qint64 parallelPeak = 0;
    bool identical = true;
    std::optional<BatchRun> reference;
    for (int index = 0; index < runs; ++index) {
        for (const int workers : {1, jobs}) {
            BatchRun run = runBatch(cli, sources, workers);
            (workers == 1 ? serial : parallel).append(run.wallMs);
            qint64 &peak = workers == 1 ? serialPeak : parallelPeak;
            peak = std::max(peak, run.peakKiB);
            if (!reference)
                reference = std::move(run);
            else if (run.outputs != reference->outputs || run.rowOrder != reference->rowOrder)
                identical = false;
        }
    }
    const double serialMs = median(serial);
    const double parallelMs = median(parallel);
    printf("%-5s %2lld files  -j1 %8.0f ms  -j%d %8.0f ms  ratio %.2f  peak %6lld / %6lld MiB  outputs %lld, %s\n",
           qPrintable(label), qlonglong(sources.size()), serialMs, jobs, parallelMs, parallelMs / serialMs,
           serialPeak / 1024, parallelPeak / 1024, qlonglong(reference ? reference->outputs.size() : 0),
           identical ? "byte-identical between all runs" : "DIFFERENT between runs");
}

QStringList filesIn(const QString &folder)
{
    QStringList files;
    const QDir dir(folder);
    for (const QString &name : dir.entryList(QDir::Files, QDir::Name))
        files.append(dir.filePath(name));
    return files;
}

// A photo-like picture of the given size, written as a JPEG at quality 95. A tile repeated over
// the picture keeps huge ones quick to make.
bool writePhoto(const QString &path, int width, int height, int seed)
{
    QImage tile(1024, 768, QImage::Format_RGB32);
    for (int y = 0; y < tile.height(); ++y) {
        for (int x = 0; x < tile.width(); ++x)
            tile.setPixel(x, y, qRgb((x * 7 + y + seed) % 256, (y * 3 + (x ^ y)) % 256, (x * y / 64 + seed) % 256));
    }
    QImage picture(width, height, QImage::Format_RGB32);
    QPainter painter(&picture);
    for (int y = 0; y < height; y += tile.height())
        for (int x = 0; x < width; x += tile.width())
            painter.drawImage(x, y, tile);
    painter.end();
    QImageWriter writer(path, "jpeg");
    writer.setQuality(95);
    return writer.write(picture);
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("One pressel-cli batch with one worker and with one per core."));
    parser.addHelpOption();
    const QCommandLineOption runsOption(QStringLiteral("runs"), QStringLiteral("Runs per worker count."),
                                        QStringLiteral("N"), QStringLiteral("3"));
    const QCommandLineOption jobsOption(QStringLiteral("jobs"), QStringLiteral("Workers of the parallel batch."),
                                        QStringLiteral("N"), QString::number(QThread::idealThreadCount()));
    const QCommandLineOption memoryOption(
        QStringLiteral("memory"), QStringLiteral("Peak memory of two 200-megapixel photos and ten phone photos."));
    parser.addOptions({runsOption, jobsOption, memoryOption});
    parser.addPositionalArgument(QStringLiteral("corpus"), QStringLiteral("Folder with jpg/ and png/ inside."));
    parser.process(app);
    const int runs = std::max(1, parser.value(runsOption).toInt());
    const int jobs = std::max(2, parser.value(jobsOption).toInt());
    const QString cli = QStringLiteral(PRESSEL_BENCH_BIN_DIR "/pressel-cli");

    if (parser.isSet(memoryOption)) {
        QTemporaryDir dir;
        QStringList sources;
        for (int index = 0; index < 2; ++index) {
            sources.append(dir.filePath(QStringLiteral("huge-%1.jpg").arg(index)));
            writePhoto(sources.last(), 16330, 12250, index);
        }
        for (int index = 0; index < 10; ++index) {
            sources.append(dir.filePath(QStringLiteral("phone-%1.jpg").arg(index)));
            writePhoto(sources.last(), 4032, 3024, 10 + index);
        }
        compareWorkerCounts(cli, QStringLiteral("200MP"), sources, runs, jobs);
        return 0;
    }

    const QString corpus = parser.positionalArguments().value(0, QStringLiteral("/tmp/pressel-corpus/corpus"));
    for (const QString &set : {QStringLiteral("jpg"), QStringLiteral("png")}) {
        const QStringList sources = filesIn(QDir(corpus).filePath(set));
        if (sources.isEmpty()) {
            fprintf(stderr, "no files in %s; build the corpus with make-corpus.sh\n",
                    qPrintable(QDir(corpus).filePath(set)));
            return 1;
        }
        compareWorkerCounts(cli, set, sources, runs, jobs);
        fflush(stdout);
    }
    return 0;
}
