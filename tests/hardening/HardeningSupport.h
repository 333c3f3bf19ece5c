// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "StandardCompressionService.h"
#include "TestFiles.h"
#include "TestImages.h"

#include <QFileInfo>
#include <QList>
#include <QUrl>

// The two roads through the real pipeline that the hardening tests take: the build tree's
// bundle with mozjpeg's cjpeg and pngquant, and a bundle in which no tool is found.
enum class Road { tools, fallback };
Q_DECLARE_METATYPE(Road)

inline const char *roadName(Road road)
{
    return road == Road::tools ? "tools" : "fallback";
}

inline pressel::InstallLayout bundleFor(Road road)
{
    return road == Road::tools ? TestFiles::buildBundle() : pressel::InstallLayout(std::nullopt);
}

// Empty when the build tree's bundle holds both tools; otherwise what is missing.
inline QString missingTools()
{
    QStringList missing;
    for (const QString &tool : {QStringLiteral("cjpeg"), QStringLiteral("pngquant")}) {
        if (!bundleFor(Road::tools).bundledTool(tool))
            missing.append(tool);
    }
    return missing.join(u", ");
}

// One batch through the standard pipeline, waited for.
inline QList<pressel::CompressionResult> compress(Road road, const QList<QUrl> &urls)
{
    const auto service = pressel::makeStandardCompressionService(bundleFor(road));
    auto batch = service->compressFiles(urls);
    batch.waitForFinished();
    return batch.result();
}

// A source that every road shrinks: a JPEG at high quality, or a PNG stored without compression.
inline QByteArray shrinkableSource(const QByteArray &format)
{
    return format == "jpeg" ? TestImages::jpeg(TestImages::scene(96, 64), {.quality = 97})
                            : TestImages::storedPNG(TestImages::scene(96, 64, true));
}

inline QString describe(const pressel::CompressionResult &result)
{
    const char *status[] = {"success", "skipped", "failed"};
    return QString::fromLatin1(status[int(result.status)]) + u' ' + result.sourceURL.toLocalFile() + u" -> " +
           (result.outputURL ? result.outputURL->toLocalFile() : QString()) + u": " + (result.failure ? result.failure->sourceText() : QString());
}

// Output file names (raw) of the success rows, for FolderRecord::changesBeyond.
inline QList<QByteArray> outputNames(const QList<pressel::CompressionResult> &results)
{
    QList<QByteArray> names;
    for (const pressel::CompressionResult &result : results) {
        if (result.outputURL)
            names.append(QFile::encodeName(QFileInfo(result.outputURL->toLocalFile()).fileName()));
    }
    return names;
}

inline QString presselCLI()
{
    return TestFiles::buildPath(QStringLiteral("bin/pressel-cli"));
}
