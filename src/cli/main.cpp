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
#include <QRegularExpression>
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
    bool help = false;
    CompressionSettings settings; // the defaults unless an option says otherwise
    QStringList files;
    QString error; // set for a usage error
};

constexpr char usage[] =
    "usage: pressel-cli [--json] [OPTION...] [--] FILE...\n"
    "Compresses the files as one batch, in order, and prints one row per file.\n"
    "  --json                  print one JSON array instead of one line per row\n"
    "  --quality N             JPEG quality, 0 to 100 (default 75)\n"
    "  --png-quality MIN-MAX   pngquant's quality range, each 0 to 100 (default 60-80)\n"
    "  --png-lossless          PNG without pngquant: lossless re-encoding only\n"
    "  --metadata POLICY       strip (default): no metadata; camera: dates, camera, lens,\n"
    "                          exposure, artist, copyright, no location; all: everything\n"
    "                          but orientation, size, thumbnail and colour profile\n"
    "  --keep-dates            give each output its source's modification time\n"
    "  --                      end of options: every argument after it is a file\n"
    "The saved settings of the window are not read. Exit status: 0 when no row failed,\n"
    "1 when one did, 2 for a usage error.\n";

std::optional<int> percent(const QString &text)
{
    // Digits only: toInt alone would take "+90" and " 90".
    static const QRegularExpression digits(QStringLiteral("^[0-9]{1,3}$"));
    if (!digits.match(text).hasMatch())
        return std::nullopt;
    const int value = text.toInt();
    return value <= 100 ? std::optional(value) : std::nullopt;
}

QString badValue(const QString &option, const QString &value)
{
    return QStringLiteral("invalid value for --%1: \"%2\"").arg(option, value);
}

// Options may come anywhere before "--"; everything after it is a file, so a file named
// "--json" or "-x.jpg" can be passed as `-- --json`.
Invocation parseArguments(const QStringList &arguments)
{
    QCommandLineParser parser;
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    const QCommandLineOption json(QStringLiteral("json"));
    const QCommandLineOption help(QStringList{QStringLiteral("h"), QStringLiteral("help")});
    const QCommandLineOption quality(QStringLiteral("quality"), {}, QStringLiteral("N"));
    const QCommandLineOption pngQuality(QStringLiteral("png-quality"), {}, QStringLiteral("MIN-MAX"));
    const QCommandLineOption pngLossless(QStringLiteral("png-lossless"));
    const QCommandLineOption metadata(QStringLiteral("metadata"), {}, QStringLiteral("POLICY"));
    const QCommandLineOption keepDates(QStringLiteral("keep-dates"));
    parser.addOptions({json, help, quality, pngQuality, pngLossless, metadata, keepDates});

    Invocation invocation;
    if (!parser.parse(QStringList{QStringLiteral("pressel-cli")} + arguments)) {
        invocation.error = parser.errorText();
        return invocation;
    }
    invocation.json = parser.isSet(json);
    invocation.help = parser.isSet(help);
    invocation.files = parser.positionalArguments();
    CompressionSettings &settings = invocation.settings;
    if (parser.isSet(quality)) {
        const QString value = parser.value(quality);
        const auto parsed = percent(value);
        if (!parsed) {
            invocation.error = badValue(QStringLiteral("quality"), value);
            return invocation;
        }
        settings.jpegQuality = *parsed;
    }
    if (parser.isSet(pngQuality)) {
        const QString value = parser.value(pngQuality);
        const QStringList bounds = value.split(u'-');
        const auto lower = bounds.size() == 2 ? percent(bounds[0]) : std::nullopt;
        const auto upper = bounds.size() == 2 ? percent(bounds[1]) : std::nullopt;
        if (!lower || !upper || *lower > *upper) {
            invocation.error = badValue(QStringLiteral("png-quality"), value);
            return invocation;
        }
        settings.pngQualityMinimum = *lower;
        settings.pngQualityMaximum = *upper;
    }
    settings.pngLossless = parser.isSet(pngLossless);
    if (parser.isSet(metadata)) {
        const QString value = parser.value(metadata);
        const auto policy = CompressionSettings::metadataPolicyFromName(value);
        if (!policy) {
            invocation.error = badValue(QStringLiteral("metadata"), value);
            return invocation;
        }
        settings.metadata = *policy;
    }
    settings.keepModificationDate = parser.isSet(keepDates);
    if (invocation.files.isEmpty() && !invocation.help)
        invocation.error = QStringLiteral("no files given");
    return invocation;
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
    auto batch = service->compressFiles(urls, invocation.settings);
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
