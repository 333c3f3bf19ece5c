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

#include <expected>
#include <optional>

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
    "  --version               print the version\n"
    "The saved settings of the window are not read. Exit status: 0 when no row failed,\n"
    "1 when one did, 2 for a usage error.\n";

// The options that choose a batch's settings; the defaults are those of the window.
struct SettingsOptions {
    QCommandLineOption quality{QStringLiteral("quality"), {}, QStringLiteral("N")};
    QCommandLineOption pngQuality{QStringLiteral("png-quality"), {}, QStringLiteral("MIN-MAX")};
    QCommandLineOption pngLossless{QStringLiteral("png-lossless")};
    QCommandLineOption metadata{QStringLiteral("metadata"), {}, QStringLiteral("POLICY")};
    QCommandLineOption keepDates{QStringLiteral("keep-dates")};

    QList<QCommandLineOption> all() const { return {quality, pngQuality, pngLossless, metadata, keepDates}; }
};

std::optional<int> percent(const QString &text)
{
    // Digits only: toInt alone would take "+90" and " 90".
    static const QRegularExpression digits(QStringLiteral("^[0-9]{1,3}$"));
    if (!digits.match(text).hasMatch())
        return std::nullopt;
    const int value = text.toInt();
    return value <= 100 ? std::optional(value) : std::nullopt;
}

// The settings the options ask for, or the usage error that names the option of a bad value.
std::expected<CompressionSettings, QString> settingsFromOptions(const QCommandLineParser &parser,
                                                                const SettingsOptions &options)
{
    const auto badValue = [&](const QCommandLineOption &option) {
        return std::unexpected(QStringLiteral("invalid value for --%1: \"%2\"")
                                   .arg(option.names().constFirst(), parser.value(option)));
    };
    CompressionSettings settings;
    if (parser.isSet(options.quality)) {
        const auto quality = percent(parser.value(options.quality));
        if (!quality)
            return badValue(options.quality);
        settings.jpegQuality = *quality;
    }
    if (parser.isSet(options.pngQuality)) {
        const QStringList bounds = parser.value(options.pngQuality).split(u'-');
        const auto lower = bounds.size() == 2 ? percent(bounds[0]) : std::nullopt;
        const auto upper = bounds.size() == 2 ? percent(bounds[1]) : std::nullopt;
        if (!lower || !upper || *lower > *upper)
            return badValue(options.pngQuality);
        settings.pngQualityMinimum = *lower;
        settings.pngQualityMaximum = *upper;
    }
    settings.pngLossless = parser.isSet(options.pngLossless);
    if (parser.isSet(options.metadata)) {
        const auto policy = CompressionSettings::metadataPolicyFromName(parser.value(options.metadata));
        if (!policy)
            return badValue(options.metadata);
        settings.metadata = *policy;
    }
    settings.keepModificationDate = parser.isSet(options.keepDates);
    return settings;
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
    const SettingsOptions settingsOptions;
    parser.addOptions({jsonOption, helpOption});
    parser.addOptions(settingsOptions.all());
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
    const auto settings = settingsFromOptions(parser, settingsOptions);
    if (!settings)
        return usageError(settings.error());
    const QStringList files = parser.positionalArguments();
    if (files.isEmpty())
        return usageError(QStringLiteral("no files given"));

    QList<QUrl> urls;
    for (const QString &file : files)
        urls.append(QUrl::fromLocalFile(QDir::current().absoluteFilePath(file)));

    auto service = makeStandardCompressionService();
    auto batch = service->compressFiles(urls, *settings);
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
