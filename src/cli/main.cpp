// pressel-cli: drives the compression engine without a window, for scripts, benchmarks and
// acceptance checks. One batch over the files in order, one line (or JSON element) per row.

#include "CompressionResult.h"
#include "Logging.h"
#include "StandardCompressionService.h"

#include <QCommandLineParser>
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

constexpr char usage[] = "usage: pressel-cli [--json] [-r] [--] FILE...\n"
                         "Compresses the files as one batch, in order, and prints one row per file.\n"
                         "  --json            print one JSON array instead of one line per row\n"
                         "  -r, --recursive   a folder stands for the image files in it and its\n"
                         "                    subfolders (hidden ones left out), in path order;\n"
                         "                    without it a folder is one failed row\n"
                         "  --                end of options: every argument after it is a file\n"
                         "  --version         print the version\n"
                         "Exit status: 0 when no row failed, 1 when one did, 2 for a usage error.\n";

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
    const QCommandLineOption recursiveOption(QStringList{QStringLiteral("r"), QStringLiteral("recursive")});
    const QCommandLineOption helpOption(QStringList{QStringLiteral("h"), QStringLiteral("help")});
    parser.addOptions({jsonOption, recursiveOption, helpOption});
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

    QList<QUrl> urls;
    for (const QString &file : files)
        urls.append(QUrl::fromLocalFile(QDir::current().absoluteFilePath(file)));

    auto service = makeStandardCompressionService();
    service->setOpensFolders(parser.isSet(recursiveOption));
    auto batch = service->compressFiles(urls);
    batch.waitForFinished();
    const QList<CompressionResult> results = batch.result();

    if (parser.isSet(jsonOption)) {
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
