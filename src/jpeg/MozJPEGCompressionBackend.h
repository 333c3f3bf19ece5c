#pragma once

#include "CompressionBackend.h"
#include "MozJPEGCommandLocator.h"

#include <QStringList>

// Re-encodes a JPEG with mozjpeg's cjpeg, fed the decoded source as a temporary P6 PPM.
class MozJPEGCompressionBackend : public CompressionBackend
{
public:
    MozJPEGCompressionBackend(MozJPEGCommandLocator commandLocator, double compressionQuality)
        : m_commandLocator(std::move(commandLocator))
        , m_compressionQuality(compressionQuality)
    {}

    const MozJPEGCommandLocator &commandLocator() const { return m_commandLocator; }
    double compressionQuality() const { return m_compressionQuality; }

    Expected<QUrl> makeOutputURL(const ImageProfile &profile, const QUrl &folderURL) const override;
    Expected<CompressionArtifact> compress(const ImageProfile &profile, const QUrl &outputURL) const override;

    // One conversion: temporary PPM, cjpeg, clean-up. The PPM is gone on every way out.
    Expected<void> runCJPEG(const QUrl &executableURL, const ImageProfile &profile, const QUrl &outputURL,
                            double quality) const;
    // <temporary folder>/<UPPERCASE-UUID>.ppm, new for every run.
    static QUrl makeTemporaryPPMURL();
    // The seven arguments, in order.
    static QStringList arguments(double quality, const QString &outputPath, const QString &ppmPath);

private:
    MozJPEGCommandLocator m_commandLocator;
    double m_compressionQuality;
};
