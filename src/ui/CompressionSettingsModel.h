// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "CompressionSettings.h"

#include <QObject>
#include <QString>
#include <QUrl>
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
    Q_PROPERTY(int pngQualityMinimum READ pngQualityMinimum WRITE setPNGQualityMinimum NOTIFY changed FINAL)
    Q_PROPERTY(int pngQualityMaximum READ pngQualityMaximum WRITE setPNGQualityMaximum NOTIFY changed FINAL)
    Q_PROPERTY(bool pngLossless READ pngLossless WRITE setPNGLossless NOTIFY changed FINAL)
    Q_PROPERTY(bool jpegLossless READ jpegLossless WRITE setJPEGLossless NOTIFY changed FINAL)
    // "strip", "camera" or "all".
    Q_PROPERTY(QString metadataPolicy READ metadataPolicy WRITE setMetadataPolicy NOTIFY changed FINAL)
    Q_PROPERTY(bool keepModificationDate READ keepModificationDate WRITE setKeepModificationDate NOTIFY changed FINAL)
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

    // The saved choice, with the compression settings.
    static bool notifiesWhenFinished();

    // Values out of range are brought into it; the PNG minimum never passes the maximum.
    void setJPEGQuality(int quality);
    void setOutputFormat(const QString &name);
    void setQuality(int quality);
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

    Q_INVOKABLE void restoreDefaults();

signals:
    void changed();

private:
    void apply(const CompressionSettings &settings);

    CompressionSettings m_settings;
    bool m_notifyWhenFinished = notifiesWhenFinished();
};

} // namespace pressel
