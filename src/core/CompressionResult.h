// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "CompressionArtifact.h"
#include "Failure.h"
#include "CompressionResultStatus.h"

#include <QMetaType>
#include <QUrl>
#include <QUuid>

#include <optional>

namespace pressel {

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
    bool lossless = false; // a success whose output holds the source's very pixels

    static CompressionResult success(const QUrl &sourceURL, qint64 originalBytes, const CompressionArtifact &artifact);
    // A row that is no output: its status is the failure's.
    static CompressionResult failed(const QUrl &sourceURL, qint64 originalBytes, const Failure &failure);
};

} // namespace pressel

Q_DECLARE_METATYPE(pressel::CompressionResult)
