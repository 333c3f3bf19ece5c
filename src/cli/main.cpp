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
        {QStringLiteral("compressedBytes"), result.compressedBytes ? QJsonValue(*result.compressedBytes) : QJsonValue()},
        {QStringLiteral("output"), result.outputURL ? QJsonValue(result.outputURL->toLocalFile()) : QJsonValue()},
        {QStringLiteral("message"), result.message ? QJsonValue(*result.message) : QJsonValue()},
    };
}

QString toLine(const CompressionResult &result)
{
    QString line = statusName(result.status) + u'\t' + result.sourceURL.toLocalFile() + u'\t'
        + QString::number(result.originalBytes);
    if (result.status == CompressionResultStatus::success)
        line += u" -> " + QString::number(*result.compressedBytes) + u'\t' + result.outputURL->toLocalFile();
    else
        line += u'\t' + result.message.value_or(QString());
    return line;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("pressel-cli"));
    pressel::installLogFormat();

    QStringList arguments = QCoreApplication::arguments().mid(1);
    const bool json = arguments.removeAll(QStringLiteral("--json")) > 0;
    QTextStream err(stderr);
    if (arguments.isEmpty() || arguments.contains(QStringLiteral("--help")) || arguments.contains(QStringLiteral("-h"))) {
        err << "usage: pressel-cli [--json] FILE...\n";
        return 2;
    }
    if (!arguments.isEmpty() && arguments.first() == u"--")
        arguments.removeFirst();

    QList<QUrl> urls;
    for (const QString &argument : std::as_const(arguments))
        urls.append(QUrl::fromLocalFile(QFileInfo(argument).absoluteFilePath()));

    auto service = makeStandardCompressionService();
    auto batch = service->compressFiles(urls);
    batch.waitForFinished();
    const QList<CompressionResult> results = batch.result();

    QTextStream out(stdout);
    if (json) {
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
