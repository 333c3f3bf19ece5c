// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "AVIFEncoder.h"
#include "ImageFormat.h"
#include "WebPEncoder.h"

#include <QtGlobal>

#include <memory>
#include <optional>

#include <QString>

class QSettings;

namespace pressel {

// What a photo's metadata becomes in its output.
enum class MetadataPolicy {
    strip,  // nothing: the encoders write none
    camera, // dates, camera, lens, exposure, artist, copyright, description; nothing of place
    all,    // everything but what the output makes false
};

// The format outputs are written in: each source's own, or one for all.
enum class OutputFormat { keep, jpeg, webp, avif };

// Where a batch puts its outputs.
enum class OutputPlacement {
    besideSource,  // a new file in the source's folder
    chosenFolder,  // a new file in CompressionSettings::outputFolder, a dropped folder's subfolders kept
    replaceSource, // the output takes the source's name and the source goes to the Trash
};

// The choices a person makes about a batch, taken as a whole when the batch starts. The
// defaults are the behaviour Pressel had before it had settings.
struct CompressionSettings {
    // The panel's JPEG range: below 40 a photo shows its blocks, above 95 the output is rarely
    // smaller than a camera's own file. Scripts may ask for any quality.
    static constexpr int minimumJPEGQuality = 40;
    static constexpr int maximumJPEGQuality = 95;

    // The panel's range and the default of the quality of the format outputs are written in.
    struct QualityScale {
        int minimum;
        int maximum;
        int defaultValue;
    };
    static QualityScale qualityScale(OutputFormat format);
    // The panel's ready choices of a longest side, in pixels.
    static constexpr int commonMaximumSides[] = {1280, 1920, 2560, 3840};
    // The largest longest side or target a script may ask for; beyond it nothing is resized.
    static constexpr int largestCount = 1'000'000;

    // The one reading of a quality, whoever gives it (the command line, the saved settings): a
    // whole number from 0 to 100 in plain digits.
    static std::optional<int> qualityFromText(const QString &text);
    // The one reading of a longest side or a target size: a whole number from 1 to
    // largestCount in plain digits.
    static std::optional<int> countFromText(const QString &text);

    int jpegQuality = 75;       // cjpeg's -quality; the in-process encoder takes it / 100
    int pngQualityMinimum = 60; // pngquant's --quality range, 0 to 100
    int pngQualityMaximum = 80;
    bool pngLossless = false; // no pngquant: the lossless PNG optimiser writes
    OutputFormat outputFormat = OutputFormat::keep;
    int webpQuality = WebPSettings::defaultQuality;
    int avifQuality = AVIFSettings::defaultQuality;
    bool jpegLossless = false; // mozjpeg's jpegtran rewrites the JPEG's own coefficients, nothing else
    MetadataPolicy metadata = MetadataPolicy::strip;
    bool keepModificationDate = false;
    OutputPlacement outputPlacement = OutputPlacement::besideSource;
    QString outputFolder = {}; // for OutputPlacement::chosenFolder; kept while another placement is chosen
    // The longest side of an output in pixels, the picture as viewed: larger pictures are
    // brought down to it, smaller ones never enlarged. Absent: no resizing.
    std::optional<int> maximumSide = std::nullopt;
    // The most an output may take, in kB of 1000 bytes: each file gets the highest quality
    // whose output fits. Absent: no target; a lossless encoder ignores it.
    std::optional<int> targetKilobytes = std::nullopt;
    // Each file gets the lowest quality of its output format's panel range whose output still
    // looks like the picture, instead of the set quality. A target size comes first; lossless
    // encoders and pngquant ignore it.
    bool autoQuality = false;

    // The saved choices; a missing or unusable value is its default.
    static CompressionSettings load(const QSettings &settings);
    void save(QSettings &settings) const;
    // The same in the user's configuration folder (pressel/pressel.conf there). The command
    // line never reads it: scripts stay predictable.
    static CompressionSettings loadSaved();
    void saveAsSaved() const;
    // That file, which the window keeps its own keys in too (its place, notifications).
    static std::unique_ptr<QSettings> userFile();

    // Every choice that shapes an output, as one text: equal exactly when those choices are.
    // Outputs carry it, so that a source is not compressed again the same way.
    QString fingerprint() const;

    // The quality of the format outputs are written in (JPEG's when each keeps its own), and
    // setting it.
    int quality() const;
    void setQuality(int quality);
    // What a source of this kind becomes: its own kind, or the one chosen for all.
    ImageFormat::Kind outputKind(ImageFormat::Kind source) const;

    static QString outputFormatName(OutputFormat format); // "keep", "jpeg", "webp", "avif"
    static std::optional<OutputFormat> outputFormatFromName(const QString &name);
    static QString metadataPolicyName(MetadataPolicy policy);
    static std::optional<MetadataPolicy> metadataPolicyFromName(const QString &name);

    static QString outputPlacementName(OutputPlacement placement);
    static std::optional<OutputPlacement> outputPlacementFromName(const QString &name);

    friend bool operator==(const CompressionSettings &, const CompressionSettings &) = default;
};

} // namespace pressel
