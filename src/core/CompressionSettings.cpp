// SPDX-License-Identifier: GPL-3.0-or-later
#include "CompressionSettings.h"

#include <QRegularExpression>
#include <QSettings>
#include <QString>

#include <memory>
#include <utility>

namespace pressel {

namespace {

const QString jpegQualityKey = QStringLiteral("compression/jpegQuality");
const QString pngQualityMinimumKey = QStringLiteral("compression/pngQualityMinimum");
const QString pngQualityMaximumKey = QStringLiteral("compression/pngQualityMaximum");
const QString pngLosslessKey = QStringLiteral("compression/pngLossless");
const QString metadataKey = QStringLiteral("compression/metadata");
const QString keepModificationDateKey = QStringLiteral("compression/keepModificationDate");
const QString maximumSideKey = QStringLiteral("compression/maximumSide");
const QString targetKilobytesKey = QStringLiteral("compression/targetKilobytes");

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
    loaded.metadata = metadataPolicyFromName(settings.value(metadataKey).toString()).value_or(loaded.metadata);
    loaded.keepModificationDate = settings.value(keepModificationDateKey, loaded.keepModificationDate).toBool();
    loaded.maximumSide = countFromText(settings.value(maximumSideKey).toString());
    loaded.targetKilobytes = countFromText(settings.value(targetKilobytesKey).toString());
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
    // Off is no value at all, as before there was a choice.
    for (const auto &[key, value] : {std::pair{maximumSideKey, maximumSide}, std::pair{targetKilobytesKey, targetKilobytes}}) {
        if (value)
            settings.setValue(key, *value);
        else
            settings.remove(key);
    }
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

} // namespace pressel
