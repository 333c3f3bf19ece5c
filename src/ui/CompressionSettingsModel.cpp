// SPDX-License-Identifier: GPL-3.0-or-later
#include "CompressionSettingsModel.h"

#include <QSettings>

#include <algorithm>
#include <optional>

namespace pressel {

namespace {

const QString notifyKey = QStringLiteral("notifyWhenFinished");

} // namespace

bool CompressionSettingsModel::notifiesWhenFinished()
{
    return CompressionSettings::userFile()->value(notifyKey, true).toBool();
}

void CompressionSettingsModel::setNotifyWhenFinished(bool notify)
{
    if (notify == m_notifyWhenFinished)
        return;
    m_notifyWhenFinished = notify;
    CompressionSettings::userFile()->setValue(notifyKey, notify);
    emit changed();
}

CompressionSettingsModel::CompressionSettingsModel(QObject *parent)
    : QObject(parent)
    , m_settings(CompressionSettings::loadSaved())
{}

void CompressionSettingsModel::apply(const CompressionSettings &settings)
{
    if (settings == m_settings)
        return;
    m_settings = settings;
    m_settings.saveAsSaved();
    emit changed();
}

void CompressionSettingsModel::setJPEGQuality(int quality)
{
    CompressionSettings settings = m_settings;
    settings.jpegQuality =
        std::clamp(quality, CompressionSettings::minimumJPEGQuality, CompressionSettings::maximumJPEGQuality);
    apply(settings);
}

void CompressionSettingsModel::setOutputFormat(const QString &name)
{
    const auto format = CompressionSettings::outputFormatFromName(name);
    if (!format)
        return;
    CompressionSettings settings = m_settings;
    settings.outputFormat = *format;
    apply(settings);
}

void CompressionSettingsModel::setQuality(int quality)
{
    CompressionSettings settings = m_settings;
    const CompressionSettings::QualityScale scale = CompressionSettings::qualityScale(settings.outputFormat);
    settings.setQuality(std::clamp(quality, scale.minimum, scale.maximum));
    apply(settings);
}

void CompressionSettingsModel::setAutoQuality(bool automatic)
{
    CompressionSettings settings = m_settings;
    settings.autoQuality = automatic;
    apply(settings);
}

void CompressionSettingsModel::setPNGQualityMinimum(int minimum)
{
    CompressionSettings settings = m_settings;
    settings.pngQualityMinimum = std::clamp(minimum, 0, settings.pngQualityMaximum);
    apply(settings);
}

void CompressionSettingsModel::setPNGQualityMaximum(int maximum)
{
    CompressionSettings settings = m_settings;
    settings.pngQualityMaximum = std::clamp(maximum, settings.pngQualityMinimum, 100);
    apply(settings);
}

void CompressionSettingsModel::setPNGLossless(bool lossless)
{
    CompressionSettings settings = m_settings;
    settings.pngLossless = lossless;
    apply(settings);
}

void CompressionSettingsModel::setJPEGLossless(bool lossless)
{
    CompressionSettings settings = m_settings;
    settings.jpegLossless = lossless;
    apply(settings);
}

void CompressionSettingsModel::setMetadataPolicy(const QString &name)
{
    const auto policy = CompressionSettings::metadataPolicyFromName(name);
    if (!policy)
        return;
    CompressionSettings settings = m_settings;
    settings.metadata = *policy;
    apply(settings);
}

void CompressionSettingsModel::setKeepModificationDate(bool keep)
{
    CompressionSettings settings = m_settings;
    settings.keepModificationDate = keep;
    apply(settings);
}

bool CompressionSettingsModel::isDefault() const
{
    // A folder chosen once and no longer used is remembered, not a setting of its own.
    CompressionSettings compared = m_settings;
    if (compared.outputPlacement != OutputPlacement::chosenFolder)
        compared.outputFolder.clear();
    return compared == CompressionSettings() && m_notifyWhenFinished;
}

void CompressionSettingsModel::setOutputPlacement(const QString &name)
{
    const auto placement = CompressionSettings::outputPlacementFromName(name);
    if (!placement || (*placement == OutputPlacement::chosenFolder && m_settings.outputFolder.isEmpty()))
        return;
    CompressionSettings settings = m_settings;
    settings.outputPlacement = *placement;
    apply(settings);
}

void CompressionSettingsModel::chooseOutputFolder(const QUrl &folder)
{
    if (!folder.isLocalFile())
        return;
    CompressionSettings settings = m_settings;
    settings.outputFolder = folder.toLocalFile();
    settings.outputPlacement = OutputPlacement::chosenFolder;
    apply(settings);
}

QVariantList CompressionSettingsModel::commonMaximumSides() const
{
    QVariantList sides;
    for (const int side : CompressionSettings::commonMaximumSides)
        sides.append(side);
    return sides;
}

static std::optional<int> countOrOff(int value)
{
    if (value <= 0)
        return std::nullopt;
    return std::min(value, CompressionSettings::largestCount);
}

void CompressionSettingsModel::setMaximumSide(int pixels)
{
    CompressionSettings settings = m_settings;
    settings.maximumSide = countOrOff(pixels);
    apply(settings);
}

void CompressionSettingsModel::setTargetKilobytes(int kilobytes)
{
    CompressionSettings settings = m_settings;
    settings.targetKilobytes = countOrOff(kilobytes);
    apply(settings);
}

void CompressionSettingsModel::restoreDefaults()
{
    apply(CompressionSettings());
    setNotifyWhenFinished(true);
}

} // namespace pressel
