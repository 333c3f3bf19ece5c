// pressel-cli: drives the compression engine without a window, for scripts, benchmarks and
// acceptance checks. One batch over the files in order, one line (or JSON element) per row.

#include "CompressionMessage.h"
#include "CompressionResult.h"
#include "Logging.h"
#include "StandardCompressionService.h"
#include "Translation.h"

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
        {QStringLiteral("message"),
         result.message ? QJsonValue(CompressionMessage::translated(*result.message)) : QJsonValue()},
    };
}

QString toLine(const CompressionResult &result)
{
    QString line = statusName(result.status) + u'\t' + result.sourceURL.toLocalFile() + u'\t' +
                   QString::number(result.originalBytes);
    if (result.status == CompressionResultStatus::success)
        line += u" -> " + QString::number(*result.compressedBytes) + u'\t' + result.outputURL->toLocalFile();
    else
        line += u'\t' + CompressionMessage::translated(result.message.value_or(QString()));
    return line;
}

QString usage()
{
    return QCoreApplication::translate("CommandLine",
                                       "用法：pressel-cli [--json] [--] 文件…\n"
                                       "把这些文件作为一批按顺序压缩，每个文件输出一行结果。\n"
                                       "  --json     输出一个 JSON 数组，而不是每个文件一行\n"
                                       "  --         选项到此为止：其后的每个参数都是文件\n"
                                       "  --version  显示版本\n"
                                       "退出状态：没有失败的行时为 0，有失败的行时为 1，用法错误时为 2。\n");
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("pressel-cli"));
    QCoreApplication::setApplicationVersion(QStringLiteral(PRESSEL_VERSION));
    pressel::installLogFormat();
    Translation::install();

    // Options may come anywhere before "--"; everything after it is a file, so a file named
    // "--json" or "-x.jpg" can be passed as `-- --json`.
    QCommandLineParser parser;
    const QCommandLineOption jsonOption(QStringLiteral("json"));
    const QCommandLineOption helpOption(QStringList{QStringLiteral("h"), QStringLiteral("help")});
    parser.addOptions({jsonOption, helpOption});
    parser.addVersionOption();
    QTextStream out(stdout);
    QTextStream err(stderr);
    const auto usageError = [&](const QString &error) {
        err << "pressel-cli: " << error << '\n' << usage();
        return 2;
    };
    if (!parser.parse(QCoreApplication::arguments()))
        return usageError(parser.errorText());
    if (parser.isSet(helpOption)) {
        out << usage();
        return 0;
    }
    if (parser.isSet(QStringLiteral("version")))
        parser.showVersion();
    const QStringList files = parser.positionalArguments();
    if (files.isEmpty())
        return usageError(QCoreApplication::translate("CommandLine", "没有给出文件"));

    QList<QUrl> urls;
    for (const QString &file : files)
        urls.append(QUrl::fromLocalFile(QDir::current().absoluteFilePath(file)));

    auto service = makeStandardCompressionService();
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
