// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "CompressionArtifact.h"
#include "CompressionError.h"
#include "CompressionResultStatus.h"

#include <QMetaType>
#include <QUrl>
#include <QUuid>

#include <optional>

namespace pressel {

// One file's outcome. A success carries an output and its size and no message; a skipped or
// failed result carries a message and no output. Results are told apart by id alone.
struct CompressionResult {
    QUuid id;
    QUrl sourceURL;
    std::optional<QUrl> outputURL;
    qint64 originalBytes = 0;
    std::optional<qint64> compressedBytes;
    CompressionResultStatus status = CompressionResultStatus::failed;
    std::optional<QString> message;

    static CompressionResult success(const QUrl &sourceURL, qint64 originalBytes, const CompressionArtifact &artifact);
    // The one place where an error becomes a row's status and message.
    static CompressionResult failure(const QUrl &sourceURL, qint64 originalBytes, const CompressionError &error);
};

} // namespace pressel

Q_DECLARE_METATYPE(pressel::CompressionResult)
