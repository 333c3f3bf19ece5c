// SPDX-License-Identifier: GPL-3.0-or-later
#include "PNGOptimizer.h"

#include <QByteArrayView>
#include <QList>
#include <QScopeGuard>

#include <libdeflate.h>
#include <png.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <csetjmp>
#include <cstring>
#include <memory>
#include <unordered_map>
#include <vector>

namespace pressel {

namespace {

constexpr QByteArrayView signature("\x89PNG\r\n\x1a\n", 8);

// ---- reading

struct Chunk {
    QByteArray type;
    QByteArray data;
    bool afterImageData = false;
};

struct Chunks {
    std::vector<Chunk> kept; // with intact CRCs, in file order
    bool animated = false;
};

quint32 bigEndian32(const char *bytes)
{
    const auto *b = reinterpret_cast<const quint8 *>(bytes);
    return (quint32(b[0]) << 24) | (quint32(b[1]) << 16) | (quint32(b[2]) << 8) | b[3];
}

quint32 crcOf(QByteArrayView typeAndData)
{
    return libdeflate_crc32(0, typeAndData.data(), size_t(typeAndData.size()));
}

bool isColourChunk(QByteArrayView type)
{
    static constexpr std::array colour{"iCCP", "sRGB", "gAMA", "cHRM", "cICP", "mDCv", "cLLi", "pHYs"};
    return std::any_of(colour.begin(), colour.end(), [&](const char *name) { return type == QByteArrayView(name, 4); });
}

// Safe-to-copy ancillary chunks (the PNG rule for editors that change the pixels' encoding),
// and the time of the last change, which is plain metadata.
bool isMetadataChunk(QByteArrayView type)
{
    const auto lower = [](char c) {
        return (c & 0x20) != 0;
    };
    return (lower(type[0]) && lower(type[3])) || type == "tIME";
}

// The chunk list, without decoding: absent when the file is not laid out as a PNG.
std::optional<Chunks> readChunks(const QByteArray &png, bool keepText)
{
    if (!png.startsWith(signature))
        return std::nullopt;
    Chunks chunks;
    bool afterImageData = false;
    qsizetype at = signature.size();
    while (at + 12 <= png.size()) {
        const quint32 length = bigEndian32(png.constData() + at);
        if (length > 0x7fffffffu || qsizetype(length) > png.size() - at - 12)
            return std::nullopt;
        const QByteArrayView typeAndData = QByteArrayView(png).sliced(at + 4, 4 + qsizetype(length));
        const QByteArrayView type = typeAndData.first(4);
        if (type == "IEND")
            return chunks;
        if (type == "acTL")
            chunks.animated = true;
        if (type == "IDAT")
            afterImageData = true;
        const bool ancillary = (type[0] & 0x20) != 0;
        const bool wanted = ancillary && (isColourChunk(type) || (keepText && isMetadataChunk(type)));
        if (wanted && crcOf(typeAndData) == bigEndian32(png.constData() + at + 8 + qsizetype(length)))
            chunks.kept.push_back(Chunk{type.toByteArray(), typeAndData.sliced(4).toByteArray(), afterImageData});
        at += 12 + qsizetype(length);
    }
    return std::nullopt; // no IEND
}

// The pixels as 8-bit or 16-bit RGBA (big-endian samples), whatever the PNG's layout.
struct Pixels {
    quint32 width = 0;
    quint32 height = 0;
    bool sixteen = false;
    bool grey = false;        // the PNG stores grey (colour types 0 and 4)
    std::vector<quint8> rgba; // width * 4 samples per row
    size_t rowBytes() const { return size_t(width) * (sixteen ? 8 : 4); }
};

struct MemoryReader {
    const quint8 *data;
    size_t size;
    size_t at;
};

void readFromMemory(png_structp png, png_bytep out, size_t count)
{
    auto *reader = static_cast<MemoryReader *>(png_get_io_ptr(png));
    if (count > reader->size - reader->at)
        png_error(png, "truncated");
    std::memcpy(out, reader->data + reader->at, count);
    reader->at += count;
}

[[noreturn]] void jumpOnError(png_structp png, png_const_charp)
{
    png_longjmp(png, 1);
}

void ignoreWarning(png_structp, png_const_charp) {}

// The chunks libpng need not look at: the optimiser copies them from the chunk list.
constexpr png_byte ignoredChunks[] = "iCCP\0tEXt\0zTXt\0iTXt\0eXIf\0sPLT\0tIME\0";

// Each step holds only plain data in its frame: libpng's errors jump back to its setjmp.
bool readHeader(png_structp png, png_infop info, MemoryReader *reader, bool expandTo16, Pixels *pixels)
{
    if (setjmp(png_jmpbuf(png)))
        return false;
    png_set_read_fn(png, reader, readFromMemory);
    png_set_keep_unknown_chunks(png, PNG_HANDLE_CHUNK_NEVER, ignoredChunks, int(sizeof ignoredChunks / 5));
    png_set_benign_errors(png, 1);
    png_read_info(png, info);
    png_uint_32 width = 0;
    png_uint_32 height = 0;
    int depth = 0;
    int colourType = 0;
    png_get_IHDR(png, info, &width, &height, &depth, &colourType, nullptr, nullptr, nullptr);
    pixels->width = width;
    pixels->height = height;
    pixels->sixteen = depth == 16 || expandTo16;
    pixels->grey = (colourType & PNG_COLOR_MASK_COLOR) == 0;
    const bool transparent = png_get_valid(png, info, PNG_INFO_tRNS) != 0;
    png_set_expand(png); // palettes, grey below 8 bits and tRNS become plain samples
    if (pixels->grey)
        png_set_gray_to_rgb(png);
    if ((colourType & PNG_COLOR_MASK_ALPHA) == 0 && !transparent)
        png_set_add_alpha(png, 0xffff, PNG_FILLER_AFTER);
    if (expandTo16 && depth < 16)
        png_set_expand_16(png);
    png_set_interlace_handling(png);
    png_read_update_info(png, info);
    return png_get_rowbytes(png, info) == pixels->rowBytes();
}

bool readRows(png_structp png, png_infop info, png_bytepp rows)
{
    if (setjmp(png_jmpbuf(png)))
        return false;
    png_read_image(png, rows);
    png_read_end(png, info);
    return true;
}

std::optional<Pixels> decode(const QByteArray &png, bool expandTo16)
{
    png_structp reading = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, jumpOnError, ignoreWarning);
    if (!reading)
        return std::nullopt;
    png_infop info = png_create_info_struct(reading);
    const auto release = qScopeGuard([&] { png_destroy_read_struct(&reading, &info, nullptr); });
    if (!info)
        return std::nullopt;
    MemoryReader reader{reinterpret_cast<const quint8 *>(png.constData()), size_t(png.size()), 0};
    Pixels pixels;
    if (!readHeader(reading, info, &reader, expandTo16, &pixels) || pixels.width == 0 || pixels.height == 0)
        return std::nullopt;
    pixels.rgba.resize(pixels.rowBytes() * pixels.height);
    std::vector<png_bytep> rows(pixels.height);
    for (quint32 y = 0; y < pixels.height; ++y)
        rows[y] = pixels.rgba.data() + y * pixels.rowBytes();
    if (!readRows(reading, info, rows.data()))
        return std::nullopt;
    return pixels;
}

// ---- the smallest layout

struct Layout {
    int colourType = 6;
    int depth = 8;
    QByteArray palette;      // PLTE: RGB triples
    QByteArray transparency; // tRNS of a palette
    int channels() const
    {
        return colourType == 0 || colourType == 3 ? 1 : colourType == 4 ? 2 : colourType == 2 ? 3 : 4;
    }
    int bitsPerPixel() const { return channels() * depth; }
    size_t rowBytes(quint32 width) const { return (size_t(width) * bitsPerPixel() + 7) / 8; }
    int filterUnit() const { return std::max(1, bitsPerPixel() / 8); }
    // What the palette costs beside the image data: its chunks, 12 bytes of framing each.
    size_t paletteBytes() const
    {
        return palette.isEmpty()
                   ? 0
                   : size_t(palette.size()) + 12 + (transparency.isEmpty() ? 0 : size_t(transparency.size()) + 12);
    }
};

// The scanlines of a layout, without filter bytes.
struct Scanlines {
    Layout layout;
    size_t rowBytes = 0;
    quint32 height = 0;
    std::vector<quint8> bytes;
};

// 16-bit samples whose two bytes are equal are 8-bit samples scaled by 257: a decoder gives
// the same values from the 8-bit form.
bool holdsEightBits(const Pixels &pixels)
{
    const quint8 *p = pixels.rgba.data();
    for (size_t i = 0, n = pixels.rgba.size(); i < n; i += 2) {
        if (p[i] != p[i + 1])
            return false;
    }
    return true;
}

Pixels toEightBits(const Pixels &pixels)
{
    Pixels eight{pixels.width, pixels.height, false, pixels.grey, {}};
    eight.rgba.resize(pixels.rgba.size() / 2);
    for (size_t i = 0, n = eight.rgba.size(); i < n; ++i)
        eight.rgba[i] = pixels.rgba[2 * i];
    return eight;
}

struct Census {
    bool opaque = true;
    bool grey = true;
    int greyDepth = 1; // the fewest bits that hold every grey level (8-bit pixels only)
    // Up to 256 distinct colours (8-bit pixels only): RGBA packed in a word, with its count.
    std::unordered_map<quint32, quint32> colours;
    bool fewColours = true;
};

Census takeCensus(const Pixels &pixels)
{
    Census census;
    const size_t sample = pixels.sixteen ? 2 : 1;
    const quint8 *p = pixels.rgba.data();
    const size_t count = size_t(pixels.width) * pixels.height;
    census.fewColours = !pixels.sixteen;
    quint32 previous = 0;
    bool havePrevious = false;
    int greyLevels = 0; // which depths still hold every level: bit 0 for 1, 1 for 2, 2 for 4
    if (!pixels.sixteen)
        greyLevels = 0b111;
    for (size_t i = 0; i < count; ++i, p += 4 * sample) {
        if (census.opaque && (p[3 * sample] != 0xff || (sample == 2 && p[3 * sample + 1] != 0xff)))
            census.opaque = false;
        if (census.grey && (std::memcmp(p, p + sample, sample) != 0 || std::memcmp(p, p + 2 * sample, sample) != 0))
            census.grey = false;
        if (greyLevels && census.grey) {
            if (p[0] % 85)
                greyLevels &= ~0b011;
            if (p[0] % 17)
                greyLevels &= ~0b111;
            else if (p[0] != 0 && p[0] != 255)
                greyLevels &= ~0b001;
        }
        if (census.fewColours) {
            const quint32 colour = (quint32(p[0]) << 24) | (quint32(p[1]) << 16) | (quint32(p[2]) << 8) | p[3];
            if (havePrevious && colour == previous) {
                ++census.colours[colour];
                continue;
            }
            ++census.colours[colour];
            previous = colour;
            havePrevious = true;
            if (census.colours.size() > 256) {
                census.fewColours = false;
                census.colours.clear();
            }
        }
    }
    census.greyDepth = (greyLevels & 0b001) ? 1 : (greyLevels & 0b010) ? 2 : (greyLevels & 0b100) ? 4 : 8;
    return census;
}

void packRow(const quint8 *values, quint32 width, int depth, quint8 *out)
{
    if (depth == 8) {
        std::memcpy(out, values, width);
        return;
    }
    const int perByte = 8 / depth;
    std::memset(out, 0, (size_t(width) * depth + 7) / 8);
    for (quint32 x = 0; x < width; ++x)
        out[x / perByte] |= quint8(values[x] << (8 - depth * (1 + int(x % perByte))));
}

// A palette: the colours with transparency first (so tRNS stops at the last of them), the
// others after, each group the most frequent first.
Scanlines paletteScanlines(const Pixels &pixels, const Census &census)
{
    std::vector<std::pair<quint32, quint32>> colours(census.colours.begin(), census.colours.end());
    std::sort(colours.begin(), colours.end(), [](const auto &a, const auto &b) {
        const bool aOpaque = (a.first & 0xff) == 0xff;
        const bool bOpaque = (b.first & 0xff) == 0xff;
        if (aOpaque != bOpaque)
            return !aOpaque;
        return a.second != b.second ? a.second > b.second : a.first < b.first;
    });
    Scanlines lines;
    Layout &layout = lines.layout;
    layout.colourType = 3;
    const size_t n = colours.size();
    layout.depth = n <= 2 ? 1 : n <= 4 ? 2 : n <= 16 ? 4 : 8;
    std::unordered_map<quint32, quint8> index;
    for (size_t i = 0; i < n; ++i) {
        const quint32 c = colours[i].first;
        index.emplace(c, quint8(i));
        layout.palette.append(char(c >> 24)).append(char(c >> 16)).append(char(c >> 8));
        if ((c & 0xff) != 0xff)
            layout.transparency.append(char(c & 0xff));
    }
    lines.rowBytes = layout.rowBytes(pixels.width);
    lines.height = pixels.height;
    lines.bytes.resize(lines.rowBytes * pixels.height);
    std::vector<quint8> values(pixels.width);
    for (quint32 y = 0; y < pixels.height; ++y) {
        const quint8 *p = pixels.rgba.data() + y * pixels.rowBytes();
        for (quint32 x = 0; x < pixels.width; ++x, p += 4)
            values[x] = index.at((quint32(p[0]) << 24) | (quint32(p[1]) << 16) | (quint32(p[2]) << 8) | p[3]);
        packRow(values.data(), pixels.width, layout.depth, lines.bytes.data() + y * lines.rowBytes);
    }
    return lines;
}

// Grey or colour samples, with alpha only where a pixel is not opaque.
Scanlines directScanlines(const Pixels &pixels, const Census &census, bool grey)
{
    Scanlines lines;
    Layout &layout = lines.layout;
    layout.colourType = grey ? (census.opaque ? 0 : 4) : (census.opaque ? 2 : 6);
    layout.depth = pixels.sixteen ? 16 : (grey && census.opaque) ? census.greyDepth : 8;
    lines.rowBytes = layout.rowBytes(pixels.width);
    lines.height = pixels.height;
    lines.bytes.resize(lines.rowBytes * pixels.height);
    const size_t sample = pixels.sixteen ? 2 : 1;
    const std::vector<int> kept = grey ? (census.opaque ? std::vector<int>{0} : std::vector<int>{0, 3})
                                       : (census.opaque ? std::vector<int>{0, 1, 2} : std::vector<int>{0, 1, 2, 3});
    std::vector<quint8> values(layout.depth < 8 ? pixels.width : 0);
    for (quint32 y = 0; y < pixels.height; ++y) {
        const quint8 *p = pixels.rgba.data() + y * pixels.rowBytes();
        quint8 *out = lines.bytes.data() + y * lines.rowBytes;
        if (layout.depth < 8) {
            const int scale = 255 / ((1 << layout.depth) - 1);
            for (quint32 x = 0; x < pixels.width; ++x)
                values[x] = quint8(p[4 * x] / scale);
            packRow(values.data(), pixels.width, layout.depth, out);
            continue;
        }
        for (quint32 x = 0; x < pixels.width; ++x, p += 4 * sample) {
            for (int channel : kept) {
                std::memcpy(out, p + channel * sample, sample);
                out += sample;
            }
        }
    }
    return lines;
}

// ---- filters and deflate

enum class Strategy { none, sub, up, average, paeth, minimumSum, entropy };
// Average (filter 3) alone is left out: on no picture measured did it beat the others.
constexpr std::array triedStrategies{Strategy::none,  Strategy::sub,        Strategy::up,
                                     Strategy::paeth, Strategy::minimumSum, Strategy::entropy};

quint8 paethPredictor(int a, int b, int c)
{
    const int p = a + b - c;
    const int pa = std::abs(p - a);
    const int pb = std::abs(p - b);
    const int pc = std::abs(p - c);
    return quint8(pa <= pb && pa <= pc ? a : pb <= pc ? b : c);
}

void filterRow(int type, const quint8 *row, const quint8 *previous, size_t n, size_t unit, quint8 *out)
{
    for (size_t i = 0; i < n; ++i) {
        const int a = i >= unit ? row[i - unit] : 0;
        const int b = previous[i];
        const int c = i >= unit ? previous[i - unit] : 0;
        int predicted = 0;
        switch (type) {
        case 1:
            predicted = a;
            break;
        case 2:
            predicted = b;
            break;
        case 3:
            predicted = (a + b) / 2;
            break;
        case 4:
            predicted = paethPredictor(a, b, c);
            break;
        default:
            break;
        }
        out[i] = quint8(row[i] - predicted);
    }
}

double rowCost(Strategy strategy, const quint8 *filtered, size_t n)
{
    if (strategy == Strategy::minimumSum) {
        quint64 sum = 0;
        for (size_t i = 0; i < n; ++i)
            sum += quint64(std::abs(int(qint8(filtered[i]))));
        return double(sum);
    }
    std::array<quint32, 256> histogram{};
    for (size_t i = 0; i < n; ++i)
        ++histogram[filtered[i]];
    double bits = 0;
    for (const quint32 count : histogram) {
        if (count)
            bits -= count * std::log2(double(count) / double(n));
    }
    return bits;
}

// Rows [first, last) of the scanlines, each behind its filter byte.
std::vector<quint8> filtered(const Scanlines &lines, Strategy strategy, quint32 first, quint32 last)
{
    const size_t n = lines.rowBytes;
    const size_t unit = size_t(lines.layout.filterUnit());
    std::vector<quint8> out((n + 1) * (last - first));
    const std::vector<quint8> zeros(n, 0);
    std::array<std::vector<quint8>, 5> trial;
    for (auto &row : trial)
        row.resize(n);
    quint8 *o = out.data();
    for (quint32 y = first; y < last; ++y, o += n + 1) {
        const quint8 *row = lines.bytes.data() + y * n;
        const quint8 *previous = y ? row - n : zeros.data();
        int type = 0;
        if (strategy == Strategy::minimumSum || strategy == Strategy::entropy) {
            double best = 0;
            for (int t = 0; t < 5; ++t) {
                filterRow(t, row, previous, n, unit, trial[size_t(t)].data());
                const double cost = rowCost(strategy, trial[size_t(t)].data(), n);
                if (t == 0 || cost < best) {
                    best = cost;
                    type = t;
                }
            }
            o[0] = quint8(type);
            std::memcpy(o + 1, trial[size_t(type)].data(), n);
            continue;
        }
        type = int(strategy);
        o[0] = quint8(type);
        filterRow(type, row, previous, n, unit, o + 1);
    }
    return out;
}

struct Compressor {
    std::unique_ptr<libdeflate_compressor, decltype(&libdeflate_free_compressor)> handle;
    explicit Compressor(int level)
        : handle(libdeflate_alloc_compressor(level), libdeflate_free_compressor)
    {}
    // A zlib stream; empty when it could not be made.
    QByteArray compress(const std::vector<quint8> &data) const
    {
        if (!handle)
            return {};
        QByteArray out(qsizetype(libdeflate_zlib_compress_bound(handle.get(), data.size())), Qt::Uninitialized);
        const size_t size =
            libdeflate_zlib_compress(handle.get(), data.data(), data.size(), out.data(), size_t(out.size()));
        out.truncate(qsizetype(size));
        return out;
    }
};

// A strategy is judged by a quick deflate of the whole picture; a large one by bands spread
// over it, each long enough for its rows to find their matches.
constexpr int trialLevel = 7;
constexpr int finalLevel = 12;
constexpr size_t sampleBytes = 8 * 1024 * 1024;
constexpr quint32 bands = 8;

size_t trialSize(const Scanlines &lines, Strategy strategy, const Compressor &compressor)
{
    const size_t lineBytes = lines.rowBytes + 1;
    const quint32 bandRows = quint32(sampleBytes / bands / lineBytes);
    if (lineBytes * lines.height <= sampleBytes || bandRows < 16)
        return size_t(compressor.compress(filtered(lines, strategy, 0, lines.height)).size());
    size_t size = 0;
    for (quint32 band = 0; band < bands; ++band) {
        const quint32 first = quint32(quint64(lines.height - bandRows) * band / (bands - 1));
        size += size_t(compressor.compress(filtered(lines, strategy, first, first + bandRows)).size());
    }
    return size;
}

// ---- writing

void appendChunk(QByteArray &png, QByteArrayView type, QByteArrayView data)
{
    const auto append32 = [&](quint32 value) {
        png.append(char(value >> 24)).append(char(value >> 16)).append(char(value >> 8)).append(char(value));
    };
    append32(quint32(data.size()));
    const qsizetype start = png.size();
    png.append(type).append(data);
    append32(crcOf(QByteArrayView(png).sliced(start)));
}

QByteArray assemble(const Pixels &pixels, const Layout &layout, const QByteArray &imageData, const Chunks &chunks)
{
    QByteArray png;
    png.reserve(imageData.size() + 1024);
    png.append(signature);
    QByteArray header(13, '\0');
    for (int i = 0; i < 4; ++i) {
        header[i] = char(pixels.width >> (24 - 8 * i));
        header[4 + i] = char(pixels.height >> (24 - 8 * i));
    }
    header[8] = char(layout.depth);
    header[9] = char(layout.colourType);
    appendChunk(png, "IHDR", header);
    for (const Chunk &chunk : chunks.kept) {
        if (isColourChunk(chunk.type))
            appendChunk(png, chunk.type, chunk.data);
    }
    if (!layout.palette.isEmpty())
        appendChunk(png, "PLTE", layout.palette);
    if (!layout.transparency.isEmpty())
        appendChunk(png, "tRNS", layout.transparency);
    for (const Chunk &chunk : chunks.kept) {
        if (!isColourChunk(chunk.type) && !chunk.afterImageData)
            appendChunk(png, chunk.type, chunk.data);
    }
    appendChunk(png, "IDAT", imageData);
    for (const Chunk &chunk : chunks.kept) {
        if (!isColourChunk(chunk.type) && chunk.afterImageData)
            appendChunk(png, chunk.type, chunk.data);
    }
    appendChunk(png, "IEND", {});
    return png;
}

} // namespace

std::optional<QByteArray> optimizePNG(const QByteArray &png, bool keepText)
{
    const auto chunks = readChunks(png, keepText);
    if (!chunks || chunks->animated)
        return std::nullopt;
    const auto source = decode(png, false);
    if (!source)
        return std::nullopt;
    std::optional<Pixels> eightBits;
    if (source->sixteen && holdsEightBits(*source))
        eightBits = toEightBits(*source);
    const Pixels &pixels = eightBits ? *eightBits : *source;
    const Census census = takeCensus(pixels);

    // A colour profile describes grey or colour samples: the picture stays what it was.
    const bool profiled =
        std::any_of(chunks->kept.begin(), chunks->kept.end(), [](const Chunk &chunk) { return chunk.type == "iCCP"; });
    std::vector<Scanlines> candidates;
    if (census.fewColours && !(profiled && pixels.grey))
        candidates.push_back(paletteScanlines(pixels, census));
    candidates.push_back(directScanlines(pixels, census, census.grey && (!profiled || pixels.grey)));

    // The quick deflate ranks the ways (its ranking matches the strong one's but for ties that
    // are worth little); the strong deflate then writes the winner once.
    const Compressor quick(trialLevel);
    const Scanlines *best = nullptr;
    Strategy bestStrategy = Strategy::none;
    size_t bestSize = 0;
    for (const Scanlines &lines : candidates) {
        for (const Strategy strategy : triedStrategies) {
            const size_t size = trialSize(lines, strategy, quick) + lines.layout.paletteBytes();
            if (size > 0 && (!best || size < bestSize)) {
                best = &lines;
                bestStrategy = strategy;
                bestSize = size;
            }
        }
    }
    if (!best)
        return std::nullopt;
    const QByteArray imageData = Compressor(finalLevel).compress(filtered(*best, bestStrategy, 0, best->height));
    if (imageData.isEmpty())
        return std::nullopt;
    QByteArray optimized = assemble(pixels, best->layout, imageData, *chunks);

    // The promise is the source's pixels: checked on the output as a decoder reads it.
    const auto check = decode(optimized, source->sixteen);
    if (!check || check->width != source->width || check->height != source->height || check->rgba != source->rgba)
        return std::nullopt;
    return optimized;
}

} // namespace pressel
