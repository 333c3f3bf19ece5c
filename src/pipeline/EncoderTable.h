// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "CompressionSettings.h"
#include "Encoder.h"
#include "ImageFormat.h"
#include "InstallLayout.h"

#include <memory>

namespace pressel {

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

    Expected<const Encoder *> encoderFor(const ImageFormat &format) const;
    // The format a source's output is written in: its own (a JPEG keeps its spelling), or the
    // one chosen for all.
    ImageFormat outputFormatFor(const ImageFormat &source) const;

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
