#pragma once

#include "CompressionBackend.h"
#include "PNGQuantCommandLocator.h"

#include <QStringList>

// pngquant's --quality bounds, both included; lower not above upper.
struct QualityRange {
    qint64 lower = 60;
    qint64 upper = 80;
};

// Makes a PNG smaller with the external palette quantiser pngquant, which writes the output
// file itself.
class PNGQuantCompressionBackend : public CompressionBackend
{
public:
    PNGQuantCompressionBackend(PNGQuantCommandLocator commandLocator, QualityRange qualityRange)
        : m_commandLocator(std::move(commandLocator))
        , m_qualityRange(qualityRange)
    {
        Q_ASSERT(qualityRange.lower <= qualityRange.upper);
    }

    const PNGQuantCommandLocator &commandLocator() const { return m_commandLocator; }
    QualityRange qualityRange() const { return m_qualityRange; }

    Expected<QUrl> makeOutputURL(const ImageProfile &profile, const QUrl &folderURL) const override;
    Expected<CompressionArtifact> compress(const ImageProfile &profile, const QUrl &outputURL) const override;

    Expected<void> runPNGQuant(const QUrl &executableURL, const ImageProfile &profile, const QUrl &outputURL,
                               QualityRange qualityRange) const;
    // The nine arguments, in order; the source comes after "--" so a leading hyphen is harmless.
    static QStringList arguments(const QString &outputPath, QualityRange qualityRange, const QString &sourcePath);
    // Where pngquant writes before it renames onto outputPath.
    static QString scratchPath(const QString &outputPath);

private:
    PNGQuantCommandLocator m_commandLocator;
    QualityRange m_qualityRange;
};
