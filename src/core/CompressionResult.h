// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "CompressionArtifact.h"
#include "Failure.h"
#include "CompressionResultStatus.h"
#include "ImageFormat.h"

#include <QMetaType>
#include <QSize>
#include <QUrl>
#include <QUuid>

#include <optional>

namespace pressel {

// A source written in another format than its own, e.g. HEIC to JPEG.
struct FormatConversion {
    ImageFormat::Kind from;
    ImageFormat::Kind to;

    // "HEIC → JPEG".
    QString text() const;

    friend bool operator==(const FormatConversion &, const FormatConversion &) = default;
};

// A picture brought down in size: its size as viewed before and after.
struct PixelResize {
    QSize from;
    QSize to;
    friend bool operator==(const PixelResize &, const PixelResize &) = default;
};

// One file's outcome. A success carries an output and its size; a skipped or failed result
// carries its failure and no output. Results are told apart by id alone.
struct CompressionResult {
    QUuid id;
    QUrl sourceURL;
    std::optional<QUrl> outputURL;
    qint64 originalBytes = 0;
    std::optional<qint64> compressedBytes;
    CompressionResultStatus status = CompressionResultStatus::failed;
    std::optional<Failure> failure;
    std::optional<FormatConversion> conversion; // a success in another format than its source's
    bool lossless = false; // a success whose output holds the source's very pixels
    std::optional<PixelResize> resize; // a success whose picture was resized
    std::optional<int> chosenQuality; // a success whose quality was chosen for it (auto, target size)
    std::optional<QUrl> trashedSourceURL; // a success that replaced its source: where the source went

    static CompressionResult success(const QUrl &sourceURL, qint64 originalBytes, const CompressionArtifact &artifact);
    // A row that is no output: its status is the failure's.
    static CompressionResult failed(const QUrl &sourceURL, qint64 originalBytes, const Failure &failure);

    // An earlier output, or a source compressed the same way before: counted in the totals, not
    // shown as a row.
    bool isLeftOut() const
    {
        return failure && (failure->reason() == Failure::earlierOutput || failure->reason() == Failure::alreadyCompressed);
    }
};

} // namespace pressel

Q_DECLARE_METATYPE(pressel::CompressionResult)
