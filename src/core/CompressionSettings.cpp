// SPDX-License-Identifier: GPL-3.0-or-later
#include "CompressionSettings.h"

#include <QRegularExpression>
#include <QSettings>
#include <QString>

#include <memory>

namespace pressel {

namespace {

const QString jpegQualityKey = QStringLiteral("compression/jpegQuality");
const QString pngQualityMinimumKey = QStringLiteral("compression/pngQualityMinimum");
const QString pngQualityMaximumKey = QStringLiteral("compression/pngQualityMaximum");
const QString pngLosslessKey = QStringLiteral("compression/pngLossless");
const QString metadataKey = QStringLiteral("compression/metadata");
const QString keepModificationDateKey = QStringLiteral("compression/keepModificationDate");
const QString outputPlacementKey = QStringLiteral("output/placement");
const QString outputFolderKey = QStringLiteral("output/folder");

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
    loaded.metadata = metadataPolicyFromName(settings.value(metadataKey).toString()).value_or(loaded.metadata);
    loaded.keepModificationDate = settings.value(keepModificationDateKey, loaded.keepModificationDate).toBool();
    loaded.outputFolder = settings.value(outputFolderKey).toString();
    loaded.outputPlacement =
        outputPlacementFromName(settings.value(outputPlacementKey).toString()).value_or(loaded.outputPlacement);
    // A folder chosen without a folder is no choice.
    if (loaded.outputPlacement == OutputPlacement::chosenFolder && loaded.outputFolder.isEmpty())
        loaded.outputPlacement = OutputPlacement::besideSource;
    return loaded;
}

void CompressionSettings::save(QSettings &settings) const
{
    settings.setValue(jpegQualityKey, jpegQuality);
    settings.setValue(pngQualityMinimumKey, pngQualityMinimum);
    settings.setValue(pngQualityMaximumKey, pngQualityMaximum);
    settings.setValue(pngLosslessKey, pngLossless);
    settings.setValue(metadataKey, metadataPolicyName(metadata));
    settings.setValue(keepModificationDateKey, keepModificationDate);
    settings.setValue(outputPlacementKey, outputPlacementName(outputPlacement));
    settings.setValue(outputFolderKey, outputFolder);
}

static std::unique_ptr<QSettings> userSettings()
{
    return std::make_unique<QSettings>(QSettings::NativeFormat, QSettings::UserScope, QStringLiteral("pressel"),
                                       QStringLiteral("pressel"));
}

CompressionSettings CompressionSettings::loadSaved()
{
    return load(*userSettings());
}

void CompressionSettings::saveAsSaved() const
{
    save(*userSettings());
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
