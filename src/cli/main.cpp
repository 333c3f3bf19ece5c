// pressel-cli: drives the compression engine without a window, for scripts, benchmarks and
// acceptance checks. One batch over the files in order, one line (or JSON element) per row.

#include "BatchTotals.h"
#include "CompressionResult.h"
#include "Logging.h"
#include "StandardCompressionService.h"

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

struct Invocation {
    bool json = false;
    bool help = false;
    int workerCount = 0; // 0: one per core
    QStringList files;
    QString error; // set for a usage error
};

// Options may come anywhere before "--"; everything after it is a file, so a file named
// "--json" or "-x.jpg" can be passed as `-- --json`.
Invocation parseArguments(const QStringList &arguments)
{
    Invocation invocation;
    bool optionsEnded = false;
    bool workerCountFollows = false;
    for (const QString &argument : arguments) {
        if (workerCountFollows) {
            bool ok = false;
            invocation.workerCount = argument.toInt(&ok);
            if (!ok || invocation.workerCount < 1) {
                invocation.error = QStringLiteral("-j wants a whole number of at least 1: %1").arg(argument);
                return invocation;
            }
            workerCountFollows = false;
        } else if (optionsEnded || !argument.startsWith(u'-') || argument == u"-") {
            invocation.files.append(argument);
        } else if (argument == u"--") {
            optionsEnded = true;
        } else if (argument == u"-j" || argument == u"--jobs") {
            workerCountFollows = true;
        } else if (argument == u"--json") {
            invocation.json = true;
        } else if (argument == u"--help" || argument == u"-h") {
            invocation.help = true;
        } else {
            invocation.error = QStringLiteral("unknown option: %1").arg(argument);
            return invocation;
        }
    }
    if (workerCountFollows)
        invocation.error = QStringLiteral("-j wants a number");
    else if (invocation.files.isEmpty() && !invocation.help)
        invocation.error = QStringLiteral("no files given");
    return invocation;
}

constexpr char usage[] = "usage: pressel-cli [--json] [-j N] [--] FILE...\n"
                         "Compresses the files as one batch, in order, and prints one row per file;\n"
                         "in text mode the batch's totals follow as the last line on standard error.\n"
                         "  --json        print one JSON array instead of one line per row\n"
                         "  -j, --jobs N  compress up to N files at once (default: one per core;\n"
                         "                1 compresses them one after another)\n"
                         "  --            end of options: every argument after it is a file\n"
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
    pressel::installLogFormat();

    const Invocation invocation = parseArguments(QCoreApplication::arguments().mid(1));
    QTextStream out(stdout);
    QTextStream err(stderr);
    if (invocation.help) {
        out << usage;
        return 0;
    }
    if (!invocation.error.isEmpty()) {
        err << "pressel-cli: " << invocation.error << '\n' << usage;
        return 2;
    }

    QList<QUrl> urls;
    for (const QString &file : invocation.files)
        urls.append(QUrl::fromLocalFile(QDir::current().absoluteFilePath(file)));

    auto service = makeStandardCompressionService();
    if (invocation.workerCount > 0)
        service->setWorkerCount(invocation.workerCount);
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

    if (invocation.json) {
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
