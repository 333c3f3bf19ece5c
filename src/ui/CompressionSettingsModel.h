// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "CompressionSettings.h"

#include <QObject>
#include <QString>
#include <QUrl>
#include <QVariantList>
#include <QtQml/qqmlregistration.h>

namespace pressel {

// The settings panel's view of the saved compression settings. Each change is saved at once;
// the batch controller reads the saved settings when a batch starts, so a change applies to
// the next batch, never to one that runs.
class CompressionSettingsModel : public QObject
{
    Q_OBJECT
    QML_ELEMENT
    Q_PROPERTY(int minimumJPEGQuality READ minimumJPEGQuality CONSTANT FINAL)
    Q_PROPERTY(int maximumJPEGQuality READ maximumJPEGQuality CONSTANT FINAL)
    Q_PROPERTY(int jpegQuality READ jpegQuality WRITE setJPEGQuality NOTIFY changed FINAL)
    // "keep", "jpeg", "webp" or "avif"; the quality below is that format's, in its own range.
    Q_PROPERTY(QString outputFormat READ outputFormat WRITE setOutputFormat NOTIFY changed FINAL)
    Q_PROPERTY(int quality READ quality WRITE setQuality NOTIFY changed FINAL)
    Q_PROPERTY(int minimumQuality READ minimumQuality NOTIFY changed FINAL)
    Q_PROPERTY(int maximumQuality READ maximumQuality NOTIFY changed FINAL)
    // Each file gets the lowest quality that still looks the same, instead of `quality`.
    Q_PROPERTY(bool autoQuality READ autoQuality WRITE setAutoQuality NOTIFY changed FINAL)
    Q_PROPERTY(int pngQualityMinimum READ pngQualityMinimum WRITE setPNGQualityMinimum NOTIFY changed FINAL)
    Q_PROPERTY(int pngQualityMaximum READ pngQualityMaximum WRITE setPNGQualityMaximum NOTIFY changed FINAL)
    Q_PROPERTY(bool pngLossless READ pngLossless WRITE setPNGLossless NOTIFY changed FINAL)
    Q_PROPERTY(bool jpegLossless READ jpegLossless WRITE setJPEGLossless NOTIFY changed FINAL)
    // "strip", "camera" or "all".
    Q_PROPERTY(QString metadataPolicy READ metadataPolicy WRITE setMetadataPolicy NOTIFY changed FINAL)
    Q_PROPERTY(bool keepModificationDate READ keepModificationDate WRITE setKeepModificationDate NOTIFY changed FINAL)
    // The longest side outputs are brought down to, in pixels; 0: no resizing.
    Q_PROPERTY(int maximumSide READ maximumSide WRITE setMaximumSide NOTIFY changed FINAL)
    // The panel's ready choices of maximumSide besides a number of one's own.
    Q_PROPERTY(QVariantList commonMaximumSides READ commonMaximumSides CONSTANT FINAL)
    // The most an output may take, in kB of 1000 bytes; 0: no target.
    Q_PROPERTY(int targetKilobytes READ targetKilobytes WRITE setTargetKilobytes NOTIFY changed FINAL)
    Q_PROPERTY(int largestCount READ largestCount CONSTANT FINAL)
    // Whether the desktop is told when a batch ends unseen (BatchNotification).
    Q_PROPERTY(bool notifyWhenFinished READ notifyWhenFinished WRITE setNotifyWhenFinished NOTIFY changed FINAL)
    // Where outputs go: "beside", "folder" or "replace"; the folder for "folder", a local path.
    Q_PROPERTY(QString outputPlacement READ outputPlacement WRITE setOutputPlacement NOTIFY changed FINAL)
    Q_PROPERTY(QString outputFolder READ outputFolder NOTIFY changed FINAL)
    Q_PROPERTY(bool isDefault READ isDefault NOTIFY changed FINAL)

public:
    explicit CompressionSettingsModel(QObject *parent = nullptr);

    int minimumJPEGQuality() const { return CompressionSettings::minimumJPEGQuality; }
    int maximumJPEGQuality() const { return CompressionSettings::maximumJPEGQuality; }
    int jpegQuality() const { return m_settings.jpegQuality; }
    QString outputFormat() const { return CompressionSettings::outputFormatName(m_settings.outputFormat); }
    int quality() const { return m_settings.quality(); }
    int minimumQuality() const { return CompressionSettings::qualityScale(m_settings.outputFormat).minimum; }
    int maximumQuality() const { return CompressionSettings::qualityScale(m_settings.outputFormat).maximum; }
    bool autoQuality() const { return m_settings.autoQuality; }
    int pngQualityMinimum() const { return m_settings.pngQualityMinimum; }
    int pngQualityMaximum() const { return m_settings.pngQualityMaximum; }
    bool pngLossless() const { return m_settings.pngLossless; }
    bool jpegLossless() const { return m_settings.jpegLossless; }
    QString metadataPolicy() const { return CompressionSettings::metadataPolicyName(m_settings.metadata); }
    bool keepModificationDate() const { return m_settings.keepModificationDate; }
    bool notifyWhenFinished() const { return m_notifyWhenFinished; }
    QString outputPlacement() const { return CompressionSettings::outputPlacementName(m_settings.outputPlacement); }
    QString outputFolder() const { return m_settings.outputFolder; }
    bool isDefault() const;
    int maximumSide() const { return m_settings.maximumSide.value_or(0); }
    QVariantList commonMaximumSides() const;
    int targetKilobytes() const { return m_settings.targetKilobytes.value_or(0); }
    int largestCount() const { return CompressionSettings::largestCount; }

    // The saved choice, with the compression settings.
    static bool notifiesWhenFinished();

    // Values out of range are brought into it; the PNG minimum never passes the maximum.
    void setJPEGQuality(int quality);
    void setOutputFormat(const QString &name);
    void setQuality(int quality);
    void setAutoQuality(bool automatic);
    void setPNGQualityMinimum(int minimum);
    void setPNGQualityMaximum(int maximum);
    void setPNGLossless(bool lossless);
    void setJPEGLossless(bool lossless);
    void setMetadataPolicy(const QString &name);
    void setKeepModificationDate(bool keep);
    void setNotifyWhenFinished(bool notify);
    // "folder" is taken only once a folder is chosen.
    void setOutputPlacement(const QString &name);
    // Chooses the folder, from a folder dialog's URL, and "folder" with it.
    Q_INVOKABLE void chooseOutputFolder(const QUrl &folder);
    // 0 or less turns the choice off.
    void setMaximumSide(int pixels);
    void setTargetKilobytes(int kilobytes);

    Q_INVOKABLE void restoreDefaults();

signals:
    void changed();

private:
    void apply(const CompressionSettings &settings);

    CompressionSettings m_settings;
    bool m_notifyWhenFinished = notifiesWhenFinished();
};

} // namespace pressel
