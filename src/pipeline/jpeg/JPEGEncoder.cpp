// SPDX-License-Identifier: GPL-3.0-or-later
#include "JPEGEncoder.h"

#include "InProcessEncoding.h"
#include "Logging.h"
#include "PPMPreprocessing.h"

#include <QDir>

#include <cerrno>
#include <cmath>
#include <cstring>

namespace pressel {

QString temporaryFolder()
{
    // QDir::tempPath() answers "" when TMPDIR names a folder that does not exist, and a bare
    // file name would put the picture in the working folder. Keep the folder as configured
    // instead, so that writing there fails and says why.
    if (const QString resolved = QDir::tempPath(); !resolved.isEmpty())
        return resolved;
    const QString configured = qEnvironmentVariable("TMPDIR");
    return QDir::cleanPath(
        QDir::current().absoluteFilePath(configured.isEmpty() ? QStringLiteral("/tmp") : configured));
}

QStringList cjpegArguments(int quality)
{
    return {QStringLiteral("-quality"),
            QString::number(quality),
            QStringLiteral("-optimize"),
            QStringLiteral("-progressive")};
}

ToolEncoder makeMozJPEGEncoder(const InstallLayout &layout, int quality)
{
    ToolEncoder::Description description{
        .toolName = QStringLiteral("cjpeg"),
        .displayName = QStringLiteral("mozjpeg"),
        .notFound = Failure::cjpegMissing,
        .logCategory = lcMozJPEG,
        .preflight = {},
        .prepare = [quality](const ImageProfile &profile) -> Expected<ToolInvocation> {
            const auto image = decodedImage(profile);
            if (!image)
                return failure(image.error());
            // The decoded pixels of a private photo: readable by no one else, and gone with the
            // run however it ends.
            auto ppm = PrivateFile::create(temporaryFolder());
            if (!ppm)
                return failure(Failure(Failure::ppmFailed, {QString::fromLocal8Bit(std::strerror(errno))}));
            if (const auto written = writePPM(**image, *ppm); !written)
                return failure(written.error());
            return ToolInvocation{cjpegArguments(quality), std::move(ppm)};
        },
        .outputEnding = QByteArrayLiteral("\xFF\xD9"), // end of image
    };
    return ToolEncoder(std::move(description), layout);
}

FallbackEncoder makeJPEGEncoder(const InstallLayout &layout, int quality)
{
    return FallbackEncoder(makeMozJPEGEncoder(layout, quality), InProcessEncoder(ImageFormat::Kind::jpeg, quality),
                         {lcJPEGCompression, QStringLiteral("JPEG")});
}

} // namespace pressel
