// SPDX-License-Identifier: GPL-3.0-or-later
// pressel-cli: drives the compression engine without a window, for scripts, benchmarks and
// acceptance checks. One batch over the files in order, one line (or JSON element) per row.

#include "BatchTotals.h"
#include "CompressionResult.h"
#include "DisplayFormat.h"
#include "Logging.h"
#include "StandardCompressionService.h"
#include "TerminationSignals.h"
#include "Translation.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QFutureWatcher>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLoggingCategory>
#include <QRegularExpression>
#include <QTextStream>

#include <expected>
#include <optional>
#include <cstdio>
#include <mutex>
#include <utility>

#include <unistd.h>

using namespace pressel;

namespace {

QJsonObject toJson(const CompressionResult &result)
{
    QJsonObject row{
        {QStringLiteral("source"), result.sourceURL.toLocalFile()},
        {QStringLiteral("status"), statusName(result.status)},
        {QStringLiteral("originalBytes"), result.originalBytes},
        {QStringLiteral("compressedBytes"),
         result.compressedBytes ? QJsonValue(*result.compressedBytes) : QJsonValue()},
        {QStringLiteral("output"), result.outputURL ? QJsonValue(result.outputURL->toLocalFile()) : QJsonValue()},
        {QStringLiteral("message"), result.failure ? QJsonValue(result.failure->text()) : QJsonValue()},
    };
    if (result.failure)
        row.insert(QStringLiteral("reason"), result.failure->reasonName());
    row.insert(QStringLiteral("lossless"), result.lossless);
    if (result.conversion) {
        row.insert(QStringLiteral("convertedFrom"), ImageFormat::mimeType(result.conversion->from));
        row.insert(QStringLiteral("convertedTo"), ImageFormat::mimeType(result.conversion->to));
    }
    if (result.chosenQuality)
        row.insert(QStringLiteral("quality"), *result.chosenQuality);
    if (result.trashedSourceURL)
        row.insert(QStringLiteral("trashedSource"), result.trashedSourceURL->toLocalFile());
    if (result.resize) {
        const auto size = [](const QSize &pixels) {
            return QJsonObject{{QStringLiteral("width"), pixels.width()}, {QStringLiteral("height"), pixels.height()}};
        };
        row.insert(QStringLiteral("resizedFrom"), size(result.resize->from));
        row.insert(QStringLiteral("resizedTo"), size(result.resize->to));
    }
    return row;
}

QString toLine(const CompressionResult &result)
{
    QString line = statusName(result.status) + u'\t' + result.sourceURL.toLocalFile() + u'\t' +
                   QString::number(result.originalBytes);
    if (result.status == CompressionResultStatus::success)
        line += u" -> " + QString::number(*result.compressedBytes) + u'\t' + result.outputURL->toLocalFile();
    else
        line += u'\t' + (result.failure ? result.failure->text() : QString());
    if (result.conversion)
        line += u'\t' + result.conversion->text();
    if (result.resize)
        line += u'\t' + DisplayFormat::pixelResize(result.resize->from, result.resize->to);
    if (result.status == CompressionResultStatus::success && result.lossless)
        line += u'\t' + QCoreApplication::translate("CommandLine", "无损");
    if (result.chosenQuality)
        line += u'\t' + QCoreApplication::translate("CommandLine", "质量 %1").arg(*result.chosenQuality);
    return line;
}

QString usage()
{
    return QCoreApplication::translate("CommandLine",
                                       "用法：pressel-cli [--json] [-r] [-j N] [选项…] [--] 文件…\n"
                                       "把这些文件作为一批按顺序压缩，每个文件输出一行结果；文本模式下，\n"
                                       "这一批的合计是标准错误的最后一行。\n"
                                       "  --json                  输出一个 JSON 数组，而不是每个文件一行\n"
                                       "  -r, --recursive         文件夹代表其中和子文件夹中的图片（隐藏的除外），\n"
                                       "                          按路径顺序；不加时文件夹是一行失败结果\n"
                                       "  -j, --jobs N            最多同时压缩 N 个文件（默认每个核心一个；1 为逐个压缩）\n"
                                       "  --format FORMAT         输出格式：keep（默认，与原图相同）、jpeg、webp 或 avif；\n"
                                       "                          选定格式时，HEIC、HEIF、AVIF、WebP 和 TIFF 也会被转换\n"
                                       "  --quality N             所选格式的质量，0 到 100（默认 JPEG 75、WebP 86、AVIF 73）\n"
                                       "  --png-quality MIN-MAX   pngquant 的质量范围，各为 0 到 100（默认 60-80）\n"
                                       "  --png-lossless          PNG 不经 pngquant，只做无损压缩\n"
                                       "  --jpeg-lossless         JPEG 只做无损压缩（jpegtran）：像素不变，忽略 --quality\n"
                                       "  --metadata POLICY       strip（默认）：不保留元数据；camera：保留日期、相机、\n"
                                       "                          镜头、曝光、作者和版权，去除位置；all：除方向、尺寸、\n"
                                       "                          缩略图和色彩配置文件外全部保留\n"
                                       "  --keep-dates            输出文件沿用原文件的修改时间\n"
                                       "  --max-size N            把最长边（按显示方向）大于 N 像素的图片缩小到 N，\n"
                                       "                          从不放大（默认不缩小）\n"
                                       "  --target-size KB        每个输出不超过 KB 千字节（1 kB = 1000 字节）：逐个文件\n"
                                       "                          选用放得下的最高质量，不高于所设质量；无损压缩不受限\n"
                                       "  -v, --verbose           在标准错误上写出日志（也可用 QT_LOGGING_RULES 选择）\n"
                                       "  --                      选项到此为止：其后的每个参数都是文件\n"
                                       "  --version               显示版本\n");
}

// After every group of options.
QString usageEnd()
{
    return QCoreApplication::translate("CommandLine",
                                       "不读取窗口保存的设置。退出状态：没有失败的行时为 0，有失败的行时为 1，\n"
                                       "用法错误时为 2。\n");
}

QString autoQualityUsage()
{
    return QCoreApplication::translate("CommandLine",
                                       "自动（看起来一样）：\n"
                                       "  --quality auto          逐个文件选用看起来仍与原图一样的最低质量（Butteraugli\n"
                                       "                          距离），JPEG、WebP 和 AVIF 输出都适用；不能与\n"
                                       "                          --target-size 同时使用\n");
}

QString placementUsage()
{
    return QCoreApplication::translate("CommandLine",
                                       "保存位置（默认在原图旁边另存为新文件）：\n"
                                       "  --output-dir DIR        输出保存到已有的文件夹 DIR，-r 给出的文件夹连同其子文件夹\n"
                                       "                          一起保留；重名时同样编号为 name-N\n"
                                       "  --replace               输出替换原图，原图移入回收站；与 --output-dir 不能同时使用\n");
}

// The options that choose a batch's settings; the defaults are those of the window.
struct SettingsOptions {
    QCommandLineOption format{QStringLiteral("format"), {}, QStringLiteral("FORMAT")};
    QCommandLineOption quality{QStringLiteral("quality"), {}, QStringLiteral("N")};
    QCommandLineOption pngQuality{QStringLiteral("png-quality"), {}, QStringLiteral("MIN-MAX")};
    QCommandLineOption pngLossless{QStringLiteral("png-lossless")};
    QCommandLineOption jpegLossless{QStringLiteral("jpeg-lossless")};
    QCommandLineOption metadata{QStringLiteral("metadata"), {}, QStringLiteral("POLICY")};
    QCommandLineOption keepDates{QStringLiteral("keep-dates")};
    QCommandLineOption maximumSide{QStringLiteral("max-size"), {}, QStringLiteral("N")};
    QCommandLineOption targetSize{QStringLiteral("target-size"), {}, QStringLiteral("KB")};

    QList<QCommandLineOption> all() const
    {
        return {format, quality, pngQuality, pngLossless, jpegLossless, metadata, keepDates, maximumSide, targetSize};
    }
};

// The settings the options ask for, or the usage error that names the option of a bad value.
std::expected<CompressionSettings, QString> settingsFromOptions(const QCommandLineParser &parser,
                                                                const SettingsOptions &options)
{
    // The option, what it takes, then the value given.
    const auto badValue = [&](const QCommandLineOption &option, const char *wanted) {
        return std::unexpected(QStringLiteral("--%1: %2: “%3”")
                                   .arg(option.names().constFirst(), QCoreApplication::translate("CommandLine", wanted),
                                        parser.value(option)));
    };
    CompressionSettings settings;
    if (parser.isSet(options.format)) {
        const auto format = CompressionSettings::outputFormatFromName(parser.value(options.format));
        if (!format)
            return badValue(options.format, QT_TRANSLATE_NOOP("CommandLine", "应为 keep、jpeg、webp 或 avif"));
        settings.outputFormat = *format;
    }
    // The quality is the chosen format's.
    if (parser.isSet(options.quality) && parser.value(options.quality) == QLatin1String("auto")) {
        if (parser.isSet(options.targetSize))
            return std::unexpected(
                QCoreApplication::translate("CommandLine", "--quality auto 和 --target-size 不能同时使用"));
        settings.autoQuality = true;
    } else if (parser.isSet(options.quality)) {
        const auto quality = CompressionSettings::qualityFromText(parser.value(options.quality));
        if (!quality)
            return badValue(options.quality, QT_TRANSLATE_NOOP("CommandLine", "应为 0 到 100 的整数"));
        settings.setQuality(*quality);
    }
    if (parser.isSet(options.pngQuality)) {
        const QStringList bounds = parser.value(options.pngQuality).split(u'-');
        const auto lower = bounds.size() == 2 ? CompressionSettings::qualityFromText(bounds[0]) : std::nullopt;
        const auto upper = bounds.size() == 2 ? CompressionSettings::qualityFromText(bounds[1]) : std::nullopt;
        if (!lower || !upper || *lower > *upper)
            return badValue(options.pngQuality,
                            QT_TRANSLATE_NOOP("CommandLine", "应为 MIN-MAX，各为 0 到 100 的整数，MIN 不大于 MAX"));
        settings.pngQualityMinimum = *lower;
        settings.pngQualityMaximum = *upper;
    }
    settings.pngLossless = parser.isSet(options.pngLossless);
    settings.jpegLossless = parser.isSet(options.jpegLossless);
    if (parser.isSet(options.metadata)) {
        const auto policy = CompressionSettings::metadataPolicyFromName(parser.value(options.metadata));
        if (!policy)
            return badValue(options.metadata, QT_TRANSLATE_NOOP("CommandLine", "应为 strip、camera 或 all"));
        settings.metadata = *policy;
    }
    settings.keepModificationDate = parser.isSet(options.keepDates);
    for (auto [option, setting] : {std::pair{&options.maximumSide, &settings.maximumSide},
                                   std::pair{&options.targetSize, &settings.targetKilobytes}}) {
        if (!parser.isSet(*option))
            continue;
        *setting = CompressionSettings::countFromText(parser.value(*option));
        if (!*setting)
            return badValue(*option, QT_TRANSLATE_NOOP("CommandLine", "应为 1 到 1000000 的整数"));
    }
    return settings;
}

// Where the outputs go, the options that say so and the check of their values.
struct PlacementOptions {
    QCommandLineOption outputFolder{QStringLiteral("output-dir"), {}, QStringLiteral("DIR")};
    QCommandLineOption replace{QStringLiteral("replace")};

    // Sets the settings' placement, or answers the usage error.
    std::optional<QString> apply(const QCommandLineParser &parser, CompressionSettings &settings) const
    {
        if (parser.isSet(outputFolder) && parser.isSet(replace))
            return QCoreApplication::translate("CommandLine", "--output-dir 和 --replace 不能同时使用");
        if (parser.isSet(replace))
            settings.outputPlacement = OutputPlacement::replaceSource;
        if (!parser.isSet(outputFolder))
            return std::nullopt;
        const QFileInfo folder(parser.value(outputFolder));
        if (!folder.isDir())
            return QStringLiteral("--output-dir: %1: “%2”")
                .arg(QCoreApplication::translate("CommandLine", "应为已有的文件夹"), parser.value(outputFolder));
        settings.outputPlacement = OutputPlacement::chosenFolder;
        settings.outputFolder = folder.absoluteFilePath();
        return std::nullopt;
    }
};

// The progress line as it stands on the terminal, empty when none is shown. Log lines come from
// any thread: each takes the line away, writes itself on a line of its own, and puts it back.
struct ProgressLine {
    std::mutex mutex;
    QByteArray text;
    QtMessageHandler logHandler = nullptr;
};

ProgressLine &progressLine()
{
    static ProgressLine line;
    return line;
}

void logAroundProgress(QtMsgType type, const QMessageLogContext &context, const QString &message)
{
    ProgressLine &line = progressLine();
    const std::lock_guard lock(line.mutex);
    if (!line.text.isEmpty())
        std::fputs("\r\x1b[K", stderr);
    line.logHandler(type, context, message);
    if (!line.text.isEmpty())
        std::fputs(line.text.constData(), stderr);
    std::fflush(stderr);
}

// "[12/200] photo.jpg", written over itself on the terminal.
void showProgress(const CompressionProgress &progress)
{
    QString name = QFileInfo(progress.fileInHand.toLocalFile()).fileName();
    // A name must not move the cursor or end the line it is written on.
    for (QChar &character : name) {
        if (character.category() == QChar::Other_Control)
            character = u'?';
    }
    ProgressLine &line = progressLine();
    const std::lock_guard lock(line.mutex);
    line.text = '[' + QByteArray::number(progress.completedCount) + '/' + QByteArray::number(progress.totalCount) +
                "] " + QFile::encodeName(name);
    std::fputs("\r\x1b[K", stderr);
    std::fputs(line.text.constData(), stderr);
    std::fflush(stderr);
}

void endProgress()
{
    ProgressLine &line = progressLine();
    const std::lock_guard lock(line.mutex);
    if (!line.text.isEmpty())
        std::fputs("\r\x1b[K", stderr);
    line.text.clear();
    std::fflush(stderr);
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    // Signals are taken from the start; one that comes before the batch runs is acted on then.
    TerminationSignals termination;
    QCoreApplication::setApplicationName(QStringLiteral("pressel-cli"));
    QCoreApplication::setApplicationVersion(QStringLiteral(PRESSEL_VERSION));
    pressel::installLogFormat();
    Translation::install();

    // Options may come anywhere before "--"; everything after it is a file, so a file named
    // "--json" or "-x.jpg" can be passed as `-- --json`.
    QCommandLineParser parser;
    const QCommandLineOption jsonOption(QStringLiteral("json"));
    const QCommandLineOption recursiveOption(QStringList{QStringLiteral("r"), QStringLiteral("recursive")});
    const QCommandLineOption helpOption(QStringList{QStringLiteral("h"), QStringLiteral("help")});
    const SettingsOptions settingsOptions;
    const QCommandLineOption verboseOption(QStringList{QStringLiteral("v"), QStringLiteral("verbose")});
    const QCommandLineOption jobsOption(QStringList{QStringLiteral("j"), QStringLiteral("jobs")},
                                        QStringLiteral("Files compressed at once."), QStringLiteral("N"));
    parser.addOptions({jsonOption, recursiveOption, helpOption, verboseOption, jobsOption});
    parser.addOptions(settingsOptions.all());
    const PlacementOptions placementOptions;
    parser.addOptions({placementOptions.outputFolder, placementOptions.replace});
    // -v is --verbose here, so --version comes without the short name Qt would give it.
    const QCommandLineOption versionOption(QStringLiteral("version"));
    parser.addOption(versionOption);
    QTextStream out(stdout);
    QTextStream err(stderr);
    const auto usageError = [&](const QString &error) {
        err << "pressel-cli: " << error << '\n'
            << QCoreApplication::translate("CommandLine", "运行 pressel-cli --help 查看用法。") << '\n';
        return 2;
    };
    if (!parser.parse(QCoreApplication::arguments()))
        return usageError(parser.errorText());
    if (parser.isSet(helpOption)) {
        out << usage() << autoQualityUsage() << placementUsage() << usageEnd();
        return 0;
    }
    if (parser.isSet(versionOption))
        parser.showVersion();
    auto settings = settingsFromOptions(parser, settingsOptions);
    if (!settings)
        return usageError(settings.error());
    if (const auto error = placementOptions.apply(parser, *settings))
        return usageError(*error);
    const QStringList files = parser.positionalArguments();
    if (files.isEmpty())
        return usageError(QCoreApplication::translate("CommandLine", "没有给出文件"));
    int workerCount = 0; // one per core
    if (parser.isSet(jobsOption)) {
        bool ok = false;
        workerCount = parser.value(jobsOption).toInt(&ok);
        if (!ok || workerCount < 1)
            return usageError(QStringLiteral("--jobs: %1: “%2”")
                                  .arg(QCoreApplication::translate("CommandLine", "应为不小于 1 的整数"),
                                       parser.value(jobsOption)));
    }
    // The log is for whoever asks for it: -v, or rules of their own.
    if (!parser.isSet(verboseOption) && qEnvironmentVariableIsEmpty("QT_LOGGING_RULES"))
        QLoggingCategory::setFilterRules(QStringLiteral("com.korvane.Pressel.*=false"));

    QList<QUrl> urls;
    for (const QString &file : files)
        urls.append(QUrl::fromLocalFile(QDir::current().absoluteFilePath(file)));

    auto service = makeStandardCompressionService();
    service->setOpensFolders(parser.isSet(recursiveOption));
    if (workerCount > 0)
        service->setWorkerCount(workerCount);
    CompressionBatchRequest request{urls, *settings};
    // Only a person watching a terminal gets the progress line; scripts and logs stay clean.
    const bool showsProgress = ::isatty(STDERR_FILENO) == 1;
    if (showsProgress) {
        progressLine().logHandler = qInstallMessageHandler(logAroundProgress);
        request.onProgress = showProgress;
    }
    auto batch = service->compressFiles(std::move(request));
    // Interrupted, the batch stops at once: tools in hand are ended and their partial outputs
    // removed. The rows of the files that finished are still printed.
    int interruption = 0;
    QObject::connect(&termination, &TerminationSignals::received, &app, [&](int signalNumber) {
        interruption = signalNumber;
        service.reset();
    });
    QFutureWatcher<QList<CompressionResult>> watcher;
    QObject::connect(&watcher, &QFutureWatcherBase::finished, &app, &QCoreApplication::quit);
    watcher.setFuture(batch);
    app.exec();
    if (showsProgress)
        endProgress();
    const QList<CompressionResult> results = batch.result();

    if (parser.isSet(jsonOption)) {
        QJsonArray rows;
        for (const CompressionResult &result : results)
            rows.append(toJson(result));
        out << QJsonDocument(rows).toJson(QJsonDocument::Indented);
        if (interruption != 0)
            err << QCoreApplication::translate("CommandLine", "已中断") << '\n';
    } else {
        // Earlier outputs and sources done before are only counted, as in the window; --json
        // keeps a row for every file, for scripts.
        for (const CompressionResult &result : results) {
            if (!result.isLeftOut())
                out << toLine(result) << '\n';
        }
        out.flush();
        const QString totals = BatchTotals::of(results).text();
        err << totals;
        if (interruption != 0)
            err << (totals.isEmpty() ? QString() : QStringLiteral(" · "))
                << QCoreApplication::translate("CommandLine", "已中断");
        err << '\n';
    }
    if (interruption != 0) {
        out.flush();
        err.flush();
        TerminationSignals::endBy(interruption);
    }
    const bool anyFailed = std::any_of(results.begin(), results.end(), [](const CompressionResult &result) {
        return result.status == CompressionResultStatus::failed;
    });
    return anyFailed ? 1 : 0;
}
