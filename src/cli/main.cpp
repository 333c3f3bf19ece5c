// pressel-cli: drives the compression engine without a window, for scripts, benchmarks and
// acceptance checks. One batch over the files in order, one line (or JSON element) per row.

#include "BatchTotals.h"
#include "CompressionResult.h"
#include "Logging.h"
#include "StandardCompressionService.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTextStream>

#include <cstdio>

#include <unistd.h>

namespace {

QString statusName(CompressionResultStatus status)
{
    switch (status) {
    case CompressionResultStatus::success:
        return QStringLiteral("success");
    case CompressionResultStatus::skipped:
        return QStringLiteral("skipped");
    case CompressionResultStatus::failed:
        return QStringLiteral("failed");
    }
    return {};
}

QJsonObject toJson(const CompressionResult &result)
{
    return QJsonObject{
        {QStringLiteral("source"), result.sourceURL.toLocalFile()},
        {QStringLiteral("status"), statusName(result.status)},
        {QStringLiteral("originalBytes"), result.originalBytes},
        {QStringLiteral("compressedBytes"),
         result.compressedBytes ? QJsonValue(*result.compressedBytes) : QJsonValue()},
        {QStringLiteral("output"), result.outputURL ? QJsonValue(result.outputURL->toLocalFile()) : QJsonValue()},
        {QStringLiteral("message"), result.message ? QJsonValue(*result.message) : QJsonValue()},
    };
}

QString toLine(const CompressionResult &result)
{
    QString line = statusName(result.status) + u'\t' + result.sourceURL.toLocalFile() + u'\t' +
                   QString::number(result.originalBytes);
    if (result.status == CompressionResultStatus::success)
        line += u" -> " + QString::number(*result.compressedBytes) + u'\t' + result.outputURL->toLocalFile();
    else
        line += u'\t' + result.message.value_or(QString());
    return line;
}

constexpr char usage[] = "usage: pressel-cli [--json] [-j N] [--] FILE...\n"
                         "Compresses the files as one batch, in order, and prints one row per file;\n"
                         "in text mode the batch's totals follow as the last line on standard error.\n"
                         "  --json        print one JSON array instead of one line per row\n"
                         "  -j, --jobs N  compress up to N files at once (default: one per core;\n"
                         "                1 compresses them one after another)\n"
                         "  --            end of options: every argument after it is a file\n"
                         "  --version     print the version\n"
                         "Exit status: 0 when no row failed, 1 when one did, 2 for a usage error.\n";

// "[12/200] photo.jpg", written over itself on the terminal.
void showProgress(const CompressionProgress &progress)
{
    QString name = QFileInfo(progress.fileInHand.toLocalFile()).fileName();
    // A name must not move the cursor or end the line it is written on.
    for (QChar &character : name) {
        if (character.category() == QChar::Other_Control)
            character = u'?';
    }
    std::fprintf(stderr, "\r\x1b[K[%lld/%lld] %s", qlonglong(progress.completedCount), qlonglong(progress.totalCount),
                 QFile::encodeName(name).constData());
    std::fflush(stderr);
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("pressel-cli"));
    QCoreApplication::setApplicationVersion(QStringLiteral(PRESSEL_VERSION));
    pressel::installLogFormat();

    // Options may come anywhere before "--"; everything after it is a file, so a file named
    // "--json" or "-x.jpg" can be passed as `-- --json`.
    QCommandLineParser parser;
    const QCommandLineOption jsonOption(QStringLiteral("json"));
    const QCommandLineOption helpOption(QStringList{QStringLiteral("h"), QStringLiteral("help")});
    const QCommandLineOption jobsOption(QStringList{QStringLiteral("j"), QStringLiteral("jobs")},
                                        QStringLiteral("Files compressed at once."), QStringLiteral("N"));
    parser.addOptions({jsonOption, helpOption, jobsOption});
    parser.addVersionOption();
    QTextStream out(stdout);
    QTextStream err(stderr);
    const auto usageError = [&](const QString &error) {
        err << "pressel-cli: " << error << '\n' << usage;
        return 2;
    };
    if (!parser.parse(QCoreApplication::arguments()))
        return usageError(parser.errorText());
    if (parser.isSet(helpOption)) {
        out << usage;
        return 0;
    }
    if (parser.isSet(QStringLiteral("version")))
        parser.showVersion();
    const QStringList files = parser.positionalArguments();
    if (files.isEmpty())
        return usageError(QStringLiteral("no files given"));
    int workerCount = 0; // one per core
    if (parser.isSet(jobsOption)) {
        bool ok = false;
        workerCount = parser.value(jobsOption).toInt(&ok);
        if (!ok || workerCount < 1)
            return usageError(QStringLiteral("-j wants a whole number of at least 1: %1").arg(parser.value(jobsOption)));
    }

    QList<QUrl> urls;
    for (const QString &file : files)
        urls.append(QUrl::fromLocalFile(QDir::current().absoluteFilePath(file)));

    auto service = makeStandardCompressionService();
    if (workerCount > 0)
        service->setWorkerCount(workerCount);
    CompressionBatchRequest request{urls};
    // Only a person watching a terminal gets the progress line; scripts and logs stay clean.
    const bool showsProgress = ::isatty(STDERR_FILENO) == 1;
    if (showsProgress)
        request.onProgress = showProgress;
    auto batch = service->compressFiles(std::move(request));
    batch.waitForFinished();
    if (showsProgress)
        std::fputs("\r\x1b[K", stderr);
    const QList<CompressionResult> results = batch.result();

    if (parser.isSet(jsonOption)) {
        QJsonArray rows;
        for (const CompressionResult &result : results)
            rows.append(toJson(result));
        out << QJsonDocument(rows).toJson(QJsonDocument::Indented);
    } else {
        for (const CompressionResult &result : results)
            out << toLine(result) << '\n';
        out.flush();
        err << BatchTotals::of(results).text() << '\n';
    }
    const bool anyFailed = std::any_of(results.begin(), results.end(), [](const CompressionResult &result) {
        return result.status == CompressionResultStatus::failed;
    });
    return anyFailed ? 1 : 0;
}
