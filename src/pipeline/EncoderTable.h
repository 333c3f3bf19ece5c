// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "CompressionSettings.h"
#include "Encoder.h"
#include "ImageFormat.h"
#include "InstallLayout.h"

#include <functional>
#include <memory>
#include <optional>

namespace pressel {

// A format's encoder at any quality of a range, for choosing the quality per file (a target
// size): higher qualities give larger outputs.
struct QualityScale {
    std::function<std::shared_ptr<const Encoder>(int quality)> encoderAt;
    int lowest = 0;
    int highest = 100; // the quality the settings ask for: a search never goes above it
};

// Which encoder writes which format, for one batch: a format without one is refused from its
// first bytes, with the reason the row gives. When one output format is chosen for all, every
// source kind that decodes (JPEG, PNG, HEIC, HEIF, TIFF, WebP, AVIF) goes to its encoder.
struct EncoderTable {
    std::shared_ptr<const Encoder> jpeg;        // writes a JPEG from a picture
    std::shared_ptr<const Encoder> jpegRewrite; // set for lossless JPEG: rewrites a JPEG source
    std::shared_ptr<const Encoder> png;
    std::shared_ptr<const Encoder> webp; // set when WebP is the chosen output format
    std::shared_ptr<const Encoder> avif; // set when AVIF is
    OutputFormat outputFormat = OutputFormat::keep;
    // The same encoders at other qualities; absent for an encoder without one (lossless).
    std::optional<QualityScale> jpegScale = std::nullopt;
    std::optional<QualityScale> pngScale = std::nullopt;
    std::optional<QualityScale> webpScale = std::nullopt;
    std::optional<QualityScale> avifScale = std::nullopt;

    // A resized picture has no coefficients of its own: a JPEG is then never rewritten.
    Expected<const Encoder *> encoderFor(const ImageFormat &format, bool resized = false) const;
    // The scale of the encoder that encoderFor gives, or null.
    const QualityScale *qualityScaleFor(const ImageFormat &format, bool resized = false) const;
    // The format a source's output is written in: its own (a JPEG keeps its spelling), or the
    // one chosen for all.
    ImageFormat outputFormatFor(const ImageFormat &source) const;
    // The kinds of source a batch under this output format compresses, as encoderFor decides:
    // what a file chooser offers.
    static QList<ImageFormat::Kind> sourceKinds(OutputFormat outputFormat);

    // The one place an encoder is made: the encoder that writes `kind` (JPEG, PNG, WebP, AVIF)
    // at `quality` on that format's own scale (PNG takes its range from the settings instead),
    // with the rest of the settings (metadata); tools are looked for in the given install layout only.
    static std::shared_ptr<const Encoder> encoderWriting(ImageFormat::Kind kind, int quality,
                                                         const CompressionSettings &settings,
                                                         const InstallLayout &layout);

    // The encoders the settings ask for: mozjpeg's cjpeg at the JPEG quality and pngquant in its
    // range, each with the in-process encoder behind it, or for a lossless format jpegtran alone
    // and the PNG optimiser; libwebp or libavif at their quality when that format is chosen.
    static EncoderTable standard(const CompressionSettings &settings, const InstallLayout &layout);
};

} // namespace pressel
