// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "CompressionResultStatus.h"

#include <QString>
#include <QStringList>

#include <expected>

namespace pressel {

// Why a file did not become an output: a reason with its arguments (a name, a path, a tool's own
// words), kept as such until someone reads it. text() is the one place a reason becomes words,
// in the reader's language; the window and pressel-cli both show it. Scripts get the reason's
// stable name.
class Failure
{
public:
    enum Reason {
        readFailed,
        imageDecodeFailed,
        destinationCreateFailed,
        writeFailed,
        outputStatFailed,
        notSmaller,
        unsupportedFormat,      // the source's extension
        heifUnsupported,
        tiffUnsupported,
        fileMissing,            // the file's name
        folderCreateFailed,     // the folder
        toolStartFailed,        // the tool, why it did not start
        toolRunFailed,          // the tool, its diagnostic (empty when it said nothing usable)
        cjpegMissing,
        pngquantMissing,
        ppmFailed,              // why the picture could not be written
        ppmNotMade,
        pngquantForeignProfile,
        folderWithoutImages,
        folderLimitReached,
        sourceChanged,
        imageDamaged,
        emptyFile,
        isFolder,
        folderNotWritable,      // the folder
        earlierOutput,          // left out of the rows, counted in the totals
        alreadyCompressed,      // likewise
        encodeFailed,           // the output format
        animatedImage,
        jpegtranMissing,
        trashFailed,            // why the Trash did not take the source
        outputDecodeFailed,
        targetSizeUnreachable,  // the target size, e.g. "500 kB"
        sourceIsLink,
    };

    Failure(Reason reason, QStringList arguments = {}) // NOLINT: a reason alone is a failure
        : m_reason(reason)
        , m_arguments(std::move(arguments))
    {}

    Reason reason() const { return m_reason; }
    const QStringList &arguments() const { return m_arguments; }

    // The stable name scripts read, e.g. "notSmaller".
    QString reasonName() const;
    // What the row's status becomes: a format or tool we leave alone, or an output not worth
    // keeping, is skipped; everything else failed.
    CompressionResultStatus status() const;
    // The words in the source language, Chinese, as the log writes them.
    QString sourceText() const;
    // The words in the language the application shows.
    QString text() const;

    friend bool operator==(const Failure &, const Failure &) = default;

private:
    Reason m_reason;
    QStringList m_arguments;
};

template<typename T>
using Expected = std::expected<T, Failure>;

// Shorthand for returning a failure from a function that yields Expected<T>.
inline std::unexpected<Failure> failure(Failure failure)
{
    return std::unexpected<Failure>(std::move(failure));
}

} // namespace pressel
