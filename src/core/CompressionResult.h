// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "CompressionArtifact.h"
#include "Failure.h"
#include "CompressionResultStatus.h"

#include <QMetaType>
#include <QSize>
#include <QUrl>
#include <QUuid>

#include <optional>

namespace pressel {

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
    std::optional<PixelResize> resize; // a success whose picture was resized

    static CompressionResult success(const QUrl &sourceURL, qint64 originalBytes, const CompressionArtifact &artifact);
    // A row that is no output: its status is the failure's.
    static CompressionResult failed(const QUrl &sourceURL, qint64 originalBytes, const Failure &failure);
};

} // namespace pressel

Q_DECLARE_METATYPE(pressel::CompressionResult)
