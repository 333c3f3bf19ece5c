#pragma once

#include "CompressionBackend.h"

#include <QLoggingCategory>

// The shape both encoder chains share: try the external-tool encoder first; on any failure
// remove what it left at the output, log why, and let the in-process encoder write the file.
// Only the in-process encoder's failure reaches the caller.
struct FallbackChainLog {
    const QLoggingCategory &category;
    QStringView formatName;  // "JPEG" or "PNG"
    QStringView primaryName; // "mozjpeg" or "pngquant"
};

Expected<CompressionArtifact> compressWithFallback(const CompressionBackend *primary, const CompressionBackend &fallback,
                                                   const ImageProfile &profile, const QUrl &outputURL,
                                                   const FallbackChainLog &log);
