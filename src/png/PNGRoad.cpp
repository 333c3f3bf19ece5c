#include "PNGRoad.h"
#include "CompressionMessage.h"

#include "Logging.h"
#include "SRGBConversion.h"

#include <QFile>
#include <QFileInfo>
#include <QtEndian>

#include <zlib.h>

namespace pressel {

namespace {

// Larger profiles are not read; the PNG then counts as one pngquant cannot take.
constexpr qsizetype maximumProfileSize = 16 * 1024 * 1024;

std::optional<QByteArray> inflated(const QByteArray &stream)
{
    z_stream inflater{};
    if (inflateInit(&inflater) != Z_OK)
        return std::nullopt;
    inflater.next_in = reinterpret_cast<Bytef *>(const_cast<char *>(stream.constData()));
    inflater.avail_in = uInt(stream.size());
    QByteArray result;
    QByteArray chunk(64 * 1024, Qt::Uninitialized);
    int status = Z_OK;
    while (status == Z_OK && result.size() <= maximumProfileSize) {
        inflater.next_out = reinterpret_cast<Bytef *>(chunk.data());
        inflater.avail_out = uInt(chunk.size());
        status = inflate(&inflater, Z_NO_FLUSH);
        result.append(chunk.constData(), chunk.size() - qsizetype(inflater.avail_out));
    }
    inflateEnd(&inflater);
    if (status != Z_STREAM_END || result.size() > maximumProfileSize)
        return std::nullopt;
    return result;
}

// Whether a PNG describes its colours with an ICC profile other than sRGB. pngquant drops the
// profile without converting the pixels, so its output would show other colours than the
// source; such a PNG is left to the in-process encoder, which brings it to sRGB. Only the
// chunks before the image data are read.
bool hasNonSRGBProfile(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly) || file.read(8) != QByteArrayView("\x89PNG\r\n\x1A\n"))
        return false;
    for (;;) {
        const QByteArray header = file.read(8);
        if (header.size() != 8)
            return false;
        const quint32 length = qFromBigEndian<quint32>(header.constData());
        const QByteArray type = header.mid(4);
        if (type == "IDAT" || type == "IEND")
            return false;
        if (type != "iCCP") {
            if (!file.seek(file.pos() + qint64(length) + 4))
                return false;
            continue;
        }
        if (length > quint32(maximumProfileSize))
            return true;
        const QByteArray data = file.read(qint64(length));
        // A profile name ended by a zero byte, the compression method, the zlib stream.
        const qsizetype nameEnd = data.indexOf('\0');
        const auto profile = nameEnd < 0 ? std::nullopt : inflated(data.mid(nameEnd + 2));
        return !profile || !isSRGBProfile(*profile);
    }
}

} // namespace

QStringList pngquantArguments(const QString &outputPath, QualityRange qualityRange, const QString &sourcePath,
                              MetadataPolicy metadata)
{
    QStringList arguments{QStringLiteral("--force"),
                          QStringLiteral("--output"),
                          outputPath,
                          QStringLiteral("--quality"),
                          QString::number(qualityRange.lower) + u'-' + QString::number(qualityRange.upper),
                          QStringLiteral("--speed"),
                          QStringLiteral("1")};
    if (metadata != MetadataPolicy::all)
        arguments << QStringLiteral("--strip");
    return arguments << QStringLiteral("--") << sourcePath;
}

QString pngquantScratchPath(const QString &outputPath)
{
    return outputPath + QStringLiteral(".tmp");
}

ExternalToolBackend makePNGQuantBackend(const ApplicationBundle &bundle, QualityRange qualityRange,
                                        MetadataPolicy metadata)
{
    Q_ASSERT(qualityRange.lower <= qualityRange.upper);
    ExternalToolBackend::Description description{
        .toolName = QStringLiteral("pngquant"),
        .displayName = QStringLiteral("pngquant"),
        .notFoundMessage = CompressionMessage::text(CompressionMessage::pngquantMissing),
        .logCategory = lcPNGQuant,
        .preflight = [](const ImageProfile &profile) -> Expected<void> {
            if (hasNonSRGBProfile(profile.sourceURL.toLocalFile()))
                return failure(CompressionPipelineError::backendExecutionFailed(
                    CompressionMessage::text(CompressionMessage::pngquantForeignProfile)));
            return {};
        },
        .prepare = {},
    };
    // pngquant writes "<output>.tmp" and renames it onto the output. The output name was chosen
    // free, the scratch name was not: a file of that name beside the source would be truncated
    // and then moved away, so the tool is not run at all then. A run killed while writing leaves
    // its scratch file; it is the run's own, checked free here.
    description.prepare = [qualityRange, metadata](const ImageProfile &profile,
                                         const QUrl &outputURL) -> Expected<ToolInvocation> {
        const QString scratch = pngquantScratchPath(outputURL.toLocalFile());
        if (const QFileInfo scratchInfo(scratch); scratchInfo.exists() || scratchInfo.isSymLink())
            return failure(CompressionPipelineError::backendExecutionFailed(CompressionMessage::text(
                CompressionMessage::toolScratchExists, {QStringLiteral("pngquant"), scratch})));
        return ToolInvocation{pngquantArguments(outputURL.toLocalFile(), qualityRange, profile.sourceURL.toLocalFile(),
                                                metadata),
                              {QUrl::fromLocalFile(scratch)}};
    };
    return ExternalToolBackend(std::move(description), bundle);
}

FallbackChain makePNGRoad(const ApplicationBundle &bundle, std::optional<QualityRange> qualityRange,
                          MetadataPolicy metadata)
{
    std::optional<ExternalToolBackend> pngquant;
    if (qualityRange)
        pngquant.emplace(makePNGQuantBackend(bundle, *qualityRange, metadata));
    return FallbackChain(std::move(pngquant),
                         InProcessBackend(QStringLiteral("public.png"), std::nullopt),
                         {lcPNGCompression, QStringLiteral("PNG")});
}

} // namespace pressel
