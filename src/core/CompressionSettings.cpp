// SPDX-License-Identifier: GPL-3.0-or-later
#include "CompressionSettings.h"

#include <QRegularExpression>
#include <QSettings>
#include <QStringList>
#include <QString>

#include <memory>
#include <utility>

namespace pressel {

namespace {

const QString jpegQualityKey = QStringLiteral("compression/jpegQuality");
const QString pngQualityMinimumKey = QStringLiteral("compression/pngQualityMinimum");
const QString pngQualityMaximumKey = QStringLiteral("compression/pngQualityMaximum");
const QString pngLosslessKey = QStringLiteral("compression/pngLossless");
const QString outputFormatKey = QStringLiteral("compression/outputFormat");
const QString webpQualityKey = QStringLiteral("compression/webpQuality");
const QString avifQualityKey = QStringLiteral("compression/avifQuality");
const QString jpegLosslessKey = QStringLiteral("compression/jpegLossless");
const QString metadataKey = QStringLiteral("compression/metadata");
const QString keepModificationDateKey = QStringLiteral("compression/keepModificationDate");
const QString outputPlacementKey = QStringLiteral("output/placement");
const QString outputFolderKey = QStringLiteral("output/folder");
const QString maximumSideKey = QStringLiteral("compression/maximumSide");
const QString targetKilobytesKey = QStringLiteral("compression/targetKilobytes");
const QString autoQualityKey = QStringLiteral("compression/autoQuality");

// A hand-edited file may hold anything; what is no quality counts as absent.
std::optional<int> readQuality(const QSettings &settings, const QString &key)
{
    return CompressionSettings::qualityFromText(settings.value(key).toString());
}

} // namespace

std::optional<int> CompressionSettings::qualityFromText(const QString &text)
{
    // Digits only: toInt alone would take "+90" and " 90".
    static const QRegularExpression digits(QStringLiteral("^[0-9]{1,3}$"));
    const int value = text.toInt();
    if (!digits.match(text).hasMatch() || value > 100)
        return std::nullopt;
    return value;
}

std::optional<int> CompressionSettings::countFromText(const QString &text)
{
    static const QRegularExpression digits(QStringLiteral("^[0-9]{1,7}$"));
    const int value = text.toInt();
    if (!digits.match(text).hasMatch() || value < 1 || value > largestCount)
        return std::nullopt;
    return value;
}

CompressionSettings CompressionSettings::load(const QSettings &settings)
{
    CompressionSettings loaded;
    loaded.jpegQuality =
        readQuality(settings, jpegQualityKey).value_or(loaded.jpegQuality);
    const auto minimum = readQuality(settings, pngQualityMinimumKey);
    const auto maximum = readQuality(settings, pngQualityMaximumKey);
    if (minimum && maximum && *minimum <= *maximum) {
        loaded.pngQualityMinimum = *minimum;
        loaded.pngQualityMaximum = *maximum;
    }
    loaded.pngLossless = settings.value(pngLosslessKey, loaded.pngLossless).toBool();
    loaded.outputFormat =
        outputFormatFromName(settings.value(outputFormatKey).toString()).value_or(loaded.outputFormat);
    loaded.webpQuality = readQuality(settings, webpQualityKey).value_or(loaded.webpQuality);
    loaded.avifQuality = readQuality(settings, avifQualityKey).value_or(loaded.avifQuality);
    loaded.jpegLossless = settings.value(jpegLosslessKey, loaded.jpegLossless).toBool();
    loaded.metadata = metadataPolicyFromName(settings.value(metadataKey).toString()).value_or(loaded.metadata);
    loaded.keepModificationDate = settings.value(keepModificationDateKey, loaded.keepModificationDate).toBool();
    loaded.outputFolder = settings.value(outputFolderKey).toString();
    loaded.outputPlacement =
        outputPlacementFromName(settings.value(outputPlacementKey).toString()).value_or(loaded.outputPlacement);
    // A folder chosen without a folder is no choice.
    if (loaded.outputPlacement == OutputPlacement::chosenFolder && loaded.outputFolder.isEmpty())
        loaded.outputPlacement = OutputPlacement::besideSource;
    loaded.maximumSide = countFromText(settings.value(maximumSideKey).toString());
    loaded.targetKilobytes = countFromText(settings.value(targetKilobytesKey).toString());
    loaded.autoQuality = settings.value(autoQualityKey, loaded.autoQuality).toBool();
    return loaded;
}

void CompressionSettings::save(QSettings &settings) const
{
    settings.setValue(jpegQualityKey, jpegQuality);
    settings.setValue(pngQualityMinimumKey, pngQualityMinimum);
    settings.setValue(pngQualityMaximumKey, pngQualityMaximum);
    settings.setValue(pngLosslessKey, pngLossless);
    settings.setValue(outputFormatKey, outputFormatName(outputFormat));
    settings.setValue(webpQualityKey, webpQuality);
    settings.setValue(avifQualityKey, avifQuality);
    settings.setValue(jpegLosslessKey, jpegLossless);
    settings.setValue(metadataKey, metadataPolicyName(metadata));
    settings.setValue(keepModificationDateKey, keepModificationDate);
    settings.setValue(outputPlacementKey, outputPlacementName(outputPlacement));
    settings.setValue(outputFolderKey, outputFolder);
    settings.setValue(autoQualityKey, autoQuality);
    // Off is no value at all, as before there was a choice.
    for (const auto &[key, value] : {std::pair{maximumSideKey, maximumSide}, std::pair{targetKilobytesKey, targetKilobytes}}) {
        if (value)
            settings.setValue(key, *value);
        else
            settings.remove(key);
    }
}

QString CompressionSettings::fingerprint() const
{
    QStringList choices{QString::number(jpegQuality), QString::number(pngQualityMinimum),
                        QString::number(pngQualityMaximum), QString::number(pngLossless),
                        QString::number(jpegLossless), outputFormatName(outputFormat), QString::number(webpQuality),
                        QString::number(avifQuality),
                        metadataPolicyName(metadata), QString::number(keepModificationDate)};
    // Named, and only when set: outputs made before these choices existed keep their fingerprint.
    if (maximumSide)
        choices.append(QStringLiteral("side=%1").arg(*maximumSide));
    if (targetKilobytes)
        choices.append(QStringLiteral("target=%1").arg(*targetKilobytes));
    if (autoQuality)
        choices.append(QStringLiteral("quality=auto"));
    return choices.join(u' ');
}

std::unique_ptr<QSettings> CompressionSettings::userFile()
{
    return std::make_unique<QSettings>(QSettings::NativeFormat, QSettings::UserScope, QStringLiteral("pressel"),
                                       QStringLiteral("pressel"));
}

CompressionSettings CompressionSettings::loadSaved()
{
    return load(*userFile());
}

void CompressionSettings::saveAsSaved() const
{
    save(*userFile());
}

CompressionSettings::QualityScale CompressionSettings::qualityScale(OutputFormat format)
{
    // WebP and AVIF keep the JPEG range's reasoning: the low end where a photo starts to smear,
    // the high end where the file is rarely smaller than a camera's own.
    switch (format) {
    case OutputFormat::keep:
    case OutputFormat::jpeg:
        return {minimumJPEGQuality, maximumJPEGQuality, CompressionSettings().jpegQuality};
    case OutputFormat::webp:
        return {50, 98, WebPSettings::defaultQuality};
    case OutputFormat::avif:
        return {40, 95, AVIFSettings::defaultQuality};
    }
    Q_UNREACHABLE();
    return {};
}

int CompressionSettings::quality() const
{
    switch (outputFormat) {
    case OutputFormat::keep:
    case OutputFormat::jpeg:
        return jpegQuality;
    case OutputFormat::webp:
        return webpQuality;
    case OutputFormat::avif:
        return avifQuality;
    }
    Q_UNREACHABLE();
    return jpegQuality;
}

void CompressionSettings::setQuality(int quality)
{
    switch (outputFormat) {
    case OutputFormat::keep:
    case OutputFormat::jpeg:
        jpegQuality = quality;
        break;
    case OutputFormat::webp:
        webpQuality = quality;
        break;
    case OutputFormat::avif:
        avifQuality = quality;
        break;
    }
}

ImageFormat::Kind CompressionSettings::outputKind(ImageFormat::Kind source) const
{
    switch (outputFormat) {
    case OutputFormat::keep:
        return source;
    case OutputFormat::jpeg:
        return ImageFormat::Kind::jpeg;
    case OutputFormat::webp:
        return ImageFormat::Kind::webp;
    case OutputFormat::avif:
        return ImageFormat::Kind::avif;
    }
    Q_UNREACHABLE();
    return source;
}

QString CompressionSettings::outputFormatName(OutputFormat format)
{
    switch (format) {
    case OutputFormat::keep:
        return QStringLiteral("keep");
    case OutputFormat::jpeg:
        return QStringLiteral("jpeg");
    case OutputFormat::webp:
        return QStringLiteral("webp");
    case OutputFormat::avif:
        return QStringLiteral("avif");
    }
    Q_UNREACHABLE();
    return {};
}

std::optional<OutputFormat> CompressionSettings::outputFormatFromName(const QString &name)
{
    for (const OutputFormat format : {OutputFormat::keep, OutputFormat::jpeg, OutputFormat::webp, OutputFormat::avif}) {
        if (name == outputFormatName(format))
            return format;
    }
    return std::nullopt;
}

QString CompressionSettings::metadataPolicyName(MetadataPolicy policy)
{
    switch (policy) {
    case MetadataPolicy::strip:
        return QStringLiteral("strip");
    case MetadataPolicy::camera:
        return QStringLiteral("camera");
    case MetadataPolicy::all:
        return QStringLiteral("all");
    }
    Q_UNREACHABLE();
    return {};
}

std::optional<MetadataPolicy> CompressionSettings::metadataPolicyFromName(const QString &name)
{
    for (const MetadataPolicy policy : {MetadataPolicy::strip, MetadataPolicy::camera, MetadataPolicy::all}) {
        if (name == metadataPolicyName(policy))
            return policy;
    }
    return std::nullopt;
}

QString CompressionSettings::outputPlacementName(OutputPlacement placement)
{
    switch (placement) {
    case OutputPlacement::besideSource:
        return QStringLiteral("beside");
    case OutputPlacement::chosenFolder:
        return QStringLiteral("folder");
    case OutputPlacement::replaceSource:
        return QStringLiteral("replace");
    }
    Q_UNREACHABLE();
    return {};
}

std::optional<OutputPlacement> CompressionSettings::outputPlacementFromName(const QString &name)
{
    for (const OutputPlacement placement :
         {OutputPlacement::besideSource, OutputPlacement::chosenFolder, OutputPlacement::replaceSource}) {
        if (name == outputPlacementName(placement))
            return placement;
    }
    return std::nullopt;
}

} // namespace pressel
