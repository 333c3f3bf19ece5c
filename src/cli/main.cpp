// pressel-cli: drives the compression engine without a window, for scripts, benchmarks and
// acceptance checks. One batch over the files in order, one line (or JSON element) per row.

#include "CompressionResult.h"
#include "Logging.h"
#include "StandardCompressionService.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTextStream>

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
    bool recursive = false;
    bool help = false;
    QStringList files;
    QString error; // set for a usage error
};

// Options may come anywhere before "--"; everything after it is a file, so a file named
// "--json" or "-x.jpg" can be passed as `-- --json`.
Invocation parseArguments(const QStringList &arguments)
{
    Invocation invocation;
    bool optionsEnded = false;
    for (const QString &argument : arguments) {
        if (optionsEnded || !argument.startsWith(u'-') || argument == u"-") {
            invocation.files.append(argument);
        } else if (argument == u"--") {
            optionsEnded = true;
        } else if (argument == u"--json") {
            invocation.json = true;
        } else if (argument == u"--recursive" || argument == u"-r") {
            invocation.recursive = true;
        } else if (argument == u"--help" || argument == u"-h") {
            invocation.help = true;
        } else {
            invocation.error = QStringLiteral("unknown option: %1").arg(argument);
            return invocation;
        }
    }
    if (invocation.files.isEmpty() && !invocation.help)
        invocation.error = QStringLiteral("no files given");
    return invocation;
}

constexpr char usage[] = "usage: pressel-cli [--json] [-r] [--] FILE...\n"
                         "Compresses the files as one batch, in order, and prints one row per file.\n"
                         "  --json            print one JSON array instead of one line per row\n"
                         "  -r, --recursive   a folder stands for the image files in it and its\n"
                         "                    subfolders (hidden ones left out), in path order;\n"
                         "                    without it a folder is one failed row\n"
                         "  --                end of options: every argument after it is a file\n"
                         "Exit status: 0 when no row failed, 1 when one did, 2 for a usage error.\n";

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
    service->setOpensFolders(invocation.recursive);
    auto batch = service->compressFiles(urls);
    batch.waitForFinished();
    const QList<CompressionResult> results = batch.result();

    if (invocation.json) {
        QJsonArray rows;
        for (const CompressionResult &result : results)
            rows.append(toJson(result));
        out << QJsonDocument(rows).toJson(QJsonDocument::Indented);
    } else {
        for (const CompressionResult &result : results)
            out << toLine(result) << '\n';
    }
    const bool anyFailed = std::any_of(results.begin(), results.end(), [](const CompressionResult &result) {
        return result.status == CompressionResultStatus::failed;
    });
    return anyFailed ? 1 : 0;
}
