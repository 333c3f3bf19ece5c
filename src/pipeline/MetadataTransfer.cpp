// SPDX-License-Identifier: GPL-3.0-or-later
#include "MetadataTransfer.h"

#include "Logging.h"

#include <QFile>
#include <QFileInfo>
#include <QStringList>

#include <exiv2/exiv2.hpp>

#include <algorithm>
#include <array>
#include <mutex>
#include <optional>
#include <string_view>

namespace pressel {

namespace {

struct ExifTag {
    std::string_view group; // "Image" (IFD0) or "Photo" (the Exif IFD)
    quint16 tag;
};

// What a photographer needs of a picture, and nothing that says where it was taken.
constexpr std::array cameraExifTags{
    // Dates and their time offsets.
    ExifTag{"Image", 0x0132}, // DateTime
    ExifTag{"Photo", 0x9003}, // DateTimeOriginal
    ExifTag{"Photo", 0x9004}, // DateTimeDigitized
    ExifTag{"Photo", 0x9010}, // OffsetTime
    ExifTag{"Photo", 0x9011}, // OffsetTimeOriginal
    ExifTag{"Photo", 0x9012}, // OffsetTimeDigitized
    ExifTag{"Photo", 0x9290}, // SubSecTime
    ExifTag{"Photo", 0x9291}, // SubSecTimeOriginal
    ExifTag{"Photo", 0x9292}, // SubSecTimeDigitized
    // Camera and lens.
    ExifTag{"Image", 0x010f}, // Make
    ExifTag{"Image", 0x0110}, // Model
    ExifTag{"Photo", 0xa432}, // LensSpecification
    ExifTag{"Photo", 0xa433}, // LensMake
    ExifTag{"Photo", 0xa434}, // LensModel
    // Exposure.
    ExifTag{"Photo", 0x829a}, // ExposureTime
    ExifTag{"Photo", 0x829d}, // FNumber
    ExifTag{"Photo", 0x8822}, // ExposureProgram
    ExifTag{"Photo", 0x8827}, // ISOSpeedRatings
    ExifTag{"Photo", 0x8830}, // SensitivityType
    ExifTag{"Photo", 0x8832}, // RecommendedExposureIndex
    ExifTag{"Photo", 0x9201}, // ShutterSpeedValue
    ExifTag{"Photo", 0x9202}, // ApertureValue
    ExifTag{"Photo", 0x9204}, // ExposureBiasValue
    ExifTag{"Photo", 0x9205}, // MaxApertureValue
    ExifTag{"Photo", 0x9207}, // MeteringMode
    ExifTag{"Photo", 0x9209}, // Flash
    ExifTag{"Photo", 0x920a}, // FocalLength
    ExifTag{"Photo", 0xa402}, // ExposureMode
    ExifTag{"Photo", 0xa403}, // WhiteBalance
    ExifTag{"Photo", 0xa405}, // FocalLengthIn35mmFilm
    // Authorship.
    ExifTag{"Image", 0x013b}, // Artist
    ExifTag{"Image", 0x8298}, // Copyright
    ExifTag{"Image", 0x010e}, // ImageDescription
};

constexpr std::array<std::string_view, 20> cameraXmpKeys{
    "Xmp.dc.creator",
    "Xmp.dc.rights",
    "Xmp.dc.description",
    "Xmp.xmpRights.Marked",
    "Xmp.xmpRights.WebStatement",
    "Xmp.xmpRights.UsageTerms",
    "Xmp.xmp.CreateDate",
    "Xmp.photoshop.DateCreated",
    "Xmp.exif.DateTimeOriginal",
    "Xmp.exif.DateTimeDigitized",
    "Xmp.tiff.Make",
    "Xmp.tiff.Model",
    "Xmp.tiff.Artist",
    "Xmp.tiff.Copyright",
    "Xmp.tiff.ImageDescription",
    "Xmp.aux.Lens",
    "Xmp.exifEX.LensModel",
    "Xmp.exifEX.LensMake",
    "Xmp.exif.ExposureTime",
    "Xmp.exif.FNumber",
};

constexpr std::array<std::string_view, 8> cameraIptcKeys{
    "Iptc.Envelope.CharacterSet",         "Iptc.Application2.Byline",           "Iptc.Application2.Copyright",
    "Iptc.Application2.Caption",          "Iptc.Application2.DateCreated",      "Iptc.Application2.TimeCreated",
    "Iptc.Application2.DigitizationDate", "Iptc.Application2.DigitizationTime",
};

template<std::size_t N> bool contains(const std::array<std::string_view, N> &keys, const std::string &key)
{
    return std::find(keys.begin(), keys.end(), key) != keys.end();
}

bool isCameraExif(const Exiv2::Exifdatum &datum)
{
    const std::string group = datum.groupName();
    return std::any_of(cameraExifTags.begin(), cameraExifTags.end(),
                       [&](const ExifTag &allowed) { return allowed.group == group && allowed.tag == datum.tag(); });
}

// Exiv2 reports what it cannot read as a message, not as an error, and carries on without it.
// While a source is read its messages are collected, so that the loss can be logged as such.
thread_local QStringList *sourceMessages = nullptr;

// Exiv2 writes its messages to standard error unless told otherwise; here they join the log.
void routeExiv2Messages(int level, const char *message)
{
    const QString text = QString::fromUtf8(message).trimmed();
    if (sourceMessages && level >= Exiv2::LogMsg::warn)
        sourceMessages->append(text);
    else if (level >= Exiv2::LogMsg::warn)
        qCWarning(lcMetadata).noquote() << text;
    else
        qCDebug(lcMetadata).noquote() << text;
}

void initializeExiv2()
{
    // The XMP toolkit must be set up once before threads use it.
    static std::once_flag once;
    std::call_once(once, [] {
        Exiv2::XmpParser::initialize();
        // HEIC and AVIF sources: Exiv2 0.27 reads their Exif and XMP items only when asked to.
        Exiv2::enableBMFF(true);
        Exiv2::LogMsg::setHandler(routeExiv2Messages);
    });
}

void setIfPresent(Exiv2::ExifData &exif, const char *key, uint32_t value)
{
    const auto found = exif.findKey(Exiv2::ExifKey(key));
    if (found == exif.end())
        return;
    if (found->typeId() == Exiv2::unsignedShort && value <= 0xffff)
        exif[key] = uint16_t(value);
    else
        exif[key] = value;
}

void setIfPresent(Exiv2::XmpData &xmp, const char *key, const std::string &value)
{
    if (xmp.findKey(Exiv2::XmpKey(key)) != xmp.end())
        xmp[key] = value;
}

// "All but what the output makes false": its pixels are upright, it has its own size, it
// carries no thumbnail of the old pixels, and its colours are sRGB.
void correctForOutput(Exiv2::ExifData &exif, Exiv2::XmpData &xmp, int width, int height)
{
    Exiv2::ExifThumb(exif).erase();
    setIfPresent(exif, "Exif.Image.Orientation", 1);
    setIfPresent(exif, "Exif.Image.ImageWidth", uint32_t(width));
    setIfPresent(exif, "Exif.Image.ImageLength", uint32_t(height));
    setIfPresent(exif, "Exif.Photo.PixelXDimension", uint32_t(width));
    setIfPresent(exif, "Exif.Photo.PixelYDimension", uint32_t(height));
    setIfPresent(exif, "Exif.Photo.ColorSpace", 1);
    setIfPresent(xmp, "Xmp.tiff.Orientation", "1");
    setIfPresent(xmp, "Xmp.tiff.ImageWidth", std::to_string(width));
    setIfPresent(xmp, "Xmp.tiff.ImageLength", std::to_string(height));
    setIfPresent(xmp, "Xmp.exif.PixelXDimension", std::to_string(width));
    setIfPresent(xmp, "Xmp.exif.PixelYDimension", std::to_string(height));
    if (const auto thumbnails = xmp.findKey(Exiv2::XmpKey("Xmp.xmp.Thumbnails")); thumbnails != xmp.end())
        xmp.erase(thumbnails);
}

struct SourceMetadata {
    Exiv2::ExifData exif;
    Exiv2::XmpData xmp;
    Exiv2::IptcData iptc;
    std::string comment;
    bool hadOrientation = false;

    bool isEmpty() const { return exif.empty() && xmp.empty() && iptc.empty() && comment.empty(); }
};

SourceMetadata filtered(const Exiv2::Image &source, MetadataPolicy policy, bool pixelsAsStored)
{
    SourceMetadata kept;
    const Exiv2::ExifData &exif = source.exifData();
    kept.hadOrientation = exif.findKey(Exiv2::ExifKey("Exif.Image.Orientation")) != exif.end();
    if (policy == MetadataPolicy::all) {
        kept.exif = exif;
        kept.xmp = source.xmpData();
        kept.iptc = source.iptcData();
        kept.comment = source.comment();
        return kept;
    }
    for (const Exiv2::Exifdatum &datum : exif) {
        if (isCameraExif(datum))
            kept.exif.add(datum);
    }
    // Turned pixels are upright now, and a reader must not turn them again; pixels as stored
    // still need the source's turn.
    if (const auto orientation = exif.findKey(Exiv2::ExifKey("Exif.Image.Orientation"));
        pixelsAsStored && orientation != exif.end())
        kept.exif.add(*orientation);
    else if (kept.hadOrientation && !kept.exif.empty())
        kept.exif["Exif.Image.Orientation"] = uint16_t(1);
    for (const Exiv2::Xmpdatum &datum : source.xmpData()) {
        if (contains(cameraXmpKeys, datum.key()))
            kept.xmp.add(datum);
    }
    for (const Exiv2::Iptcdatum &datum : source.iptcData()) {
        if (contains(cameraIptcKeys, datum.key()))
            kept.iptc.add(datum);
    }
    return kept;
}

QString fileName(const QUrl &url)
{
    return QFileInfo(url.toLocalFile()).fileName();
}

// The source's metadata as the policy keeps it; absent when the policy keeps nothing or the
// source's cannot be read (logged).
std::optional<SourceMetadata> keptMetadata(const SourceFile &sourceFile, MetadataPolicy policy,
                                           bool pixelsAsStored = false)
{
    const QUrl &sourceURL = sourceFile.url();
    if (policy == MetadataPolicy::strip)
        return std::nullopt;
    initializeExiv2();

    SourceMetadata kept;
    QStringList messages;
    sourceMessages = &messages;
    try {
        const QByteArray &bytes = sourceFile.bytes();
        const auto source =
            Exiv2::ImageFactory::open(reinterpret_cast<const Exiv2::byte *>(bytes.constData()), long(bytes.size()));
        source->readMetadata();
        kept = filtered(*source, policy, pixelsAsStored);
    } catch (const std::exception &error) {
        sourceMessages = nullptr;
        qCCritical(lcMetadata).noquote() << QStringLiteral("Metadata of %1 not readable, output has none: %2")
                                                .arg(fileName(sourceURL), QString::fromUtf8(error.what()));
        return std::nullopt;
    }
    sourceMessages = nullptr;
    if (!messages.isEmpty())
        qCCritical(lcMetadata).noquote() << QStringLiteral(
                                                "Metadata of %1 partly unreadable, carrying what was read: %2")
                                                .arg(fileName(sourceURL), messages.join(u' '));
    if (kept.isEmpty())
        return std::nullopt;
    return kept;
}

} // namespace

MetadataItems metadataItems(const SourceFile &source, MetadataPolicy policy, QSize outputSize)
{
    std::optional<SourceMetadata> kept = keptMetadata(source, policy);
    if (!kept)
        return {};
    if (policy == MetadataPolicy::all)
        correctForOutput(kept->exif, kept->xmp, outputSize.width(), outputSize.height());
    MetadataItems items;
    try {
        if (!kept->exif.empty()) {
            Exiv2::Blob blob;
            Exiv2::ExifParser::encode(blob, Exiv2::bigEndian, kept->exif);
            items.exif = QByteArray(reinterpret_cast<const char *>(blob.data()), qsizetype(blob.size()));
        }
        std::string packet;
        if (!kept->xmp.empty() && Exiv2::XmpParser::encode(packet, kept->xmp) == 0)
            items.xmp = QByteArray::fromStdString(packet);
    } catch (const std::exception &error) {
        qCCritical(lcMetadata).noquote() << QStringLiteral("Metadata of %1 not carried: %2")
                                                .arg(fileName(source.url()), QString::fromUtf8(error.what()));
        return {};
    }
    return items;
}

Expected<void> transferMetadata(const SourceFile &sourceFile, PrivateFile &output, const QUrl &outputURL,
                                MetadataPolicy policy, bool pixelsAsStored)
{
    const QUrl &sourceURL = sourceFile.url();
    const std::optional<SourceMetadata> found = keptMetadata(sourceFile, policy, pixelsAsStored);
    if (!found)
        return {};
    SourceMetadata kept = *found;

    const QByteArray encoded = output.readAll();
    if (encoded.isEmpty())
        return failure(Failure(Failure::writeFailed));

    QByteArray withMetadata;
    try {
        auto output =
            Exiv2::ImageFactory::open(reinterpret_cast<const Exiv2::byte *>(encoded.constData()), long(encoded.size()));
        // Reading first keeps what the encoder wrote of its own, such as its colour profile.
        output->readMetadata();
        if (policy == MetadataPolicy::all && !pixelsAsStored)
            correctForOutput(kept.exif, kept.xmp, output->pixelWidth(), output->pixelHeight());
        output->setExifData(kept.exif);
        output->setXmpData(kept.xmp);
        output->setIptcData(kept.iptc);
        if (!kept.comment.empty())
            output->setComment(kept.comment);
        output->writeMetadata();
        Exiv2::BasicIo &io = output->io();
        io.open();
        io.seek(0, Exiv2::BasicIo::beg);
        const Exiv2::DataBuf buffer = io.read(io.size());
        io.close();
        withMetadata = QByteArray(reinterpret_cast<const char *>(buffer.pData_), buffer.size_);
    } catch (const std::exception &error) {
        qCCritical(lcMetadata).noquote() << QStringLiteral("Metadata of %1 not carried into %2: %3")
                                                .arg(fileName(sourceURL), fileName(outputURL),
                                                     QString::fromUtf8(error.what()));
        return {};
    }

    if (!output.rewrite(withMetadata))
        return failure(Failure(Failure::writeFailed));
    qCInfo(lcMetadata).noquote() << QStringLiteral("Metadata (%1) of %2 carried into %3")
                                        .arg(CompressionSettings::metadataPolicyName(policy), fileName(sourceURL),
                                             fileName(outputURL));
    return {};
}

} // namespace pressel
