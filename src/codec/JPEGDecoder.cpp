#include "JPEGDecoder.h"

#include "SRGBConversion.h"

#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include <jpeglib.h>

namespace pressel {

namespace {

// libjpeg reports fatal errors by calling error_exit, which must not return; it jumps back to
// the setjmp of the phase that is running. The functions that call setjmp hold only plain
// data, so the jump skips no destructor.
struct ErrorManager {
    jpeg_error_mgr pub;
    std::jmp_buf jump;
};

[[noreturn]] void exitWithError(j_common_ptr info)
{
    std::longjmp(reinterpret_cast<ErrorManager *>(info->err)->jump, 1);
}

void ignoreMessage(j_common_ptr) {}

// Feeds libjpeg from a QIODevice in chunks, so that a large file is never held in memory whole.
struct DeviceSource {
    jpeg_source_mgr pub;
    QIODevice *device;
    JOCTET buffer[64 * 1024];
};

void initSource(j_decompress_ptr) {}
void termSource(j_decompress_ptr) {}

boolean fillInputBuffer(j_decompress_ptr info)
{
    auto *source = reinterpret_cast<DeviceSource *>(info->src);
    qint64 count = source->device->read(reinterpret_cast<char *>(source->buffer), sizeof source->buffer);
    if (count <= 0) {
        // A truncated file ends as if it were complete; libjpeg fills the rest with grey.
        source->buffer[0] = JOCTET(0xFF);
        source->buffer[1] = JOCTET(JPEG_EOI);
        count = 2;
    }
    source->pub.next_input_byte = source->buffer;
    source->pub.bytes_in_buffer = size_t(count);
    return TRUE;
}

void skipInputData(j_decompress_ptr info, long count)
{
    auto *source = reinterpret_cast<DeviceSource *>(info->src);
    while (count > long(source->pub.bytes_in_buffer)) {
        count -= long(source->pub.bytes_in_buffer);
        fillInputBuffer(info);
    }
    if (count > 0) {
        source->pub.next_input_byte += count;
        source->pub.bytes_in_buffer -= size_t(count);
    }
}

struct Decompressor {
    jpeg_decompress_struct info;
    ErrorManager error;
    DeviceSource source;
    JOCTET *iccData = nullptr;
    unsigned int iccLength = 0;

    explicit Decompressor(QIODevice &device)
    {
        info.err = jpeg_std_error(&error.pub);
        error.pub.error_exit = exitWithError;
        error.pub.output_message = ignoreMessage;
        jpeg_create_decompress(&info);
        source.device = &device;
        source.pub.init_source = initSource;
        source.pub.fill_input_buffer = fillInputBuffer;
        source.pub.skip_input_data = skipInputData;
        source.pub.resync_to_restart = jpeg_resync_to_restart;
        source.pub.term_source = termSource;
        source.pub.bytes_in_buffer = 0;
        source.pub.next_input_byte = nullptr;
        info.src = &source.pub;
    }
    ~Decompressor()
    {
        std::free(iccData);
        jpeg_destroy_decompress(&info);
    }
    Decompressor(const Decompressor &) = delete;
    Decompressor &operator=(const Decompressor &) = delete;
};

// Reads the header and the ICC profile. Only plain data in this frame (see ErrorManager).
bool readHeader(Decompressor *decompressor)
{
    if (setjmp(decompressor->error.jump))
        return false;
    jpeg_save_markers(&decompressor->info, JPEG_APP0 + 2, 0xFFFF);
    if (jpeg_read_header(&decompressor->info, TRUE) != JPEG_HEADER_OK)
        return false;
    if (!jpeg_read_icc_profile(&decompressor->info, &decompressor->iccData, &decompressor->iccLength)) {
        decompressor->iccData = nullptr;
        decompressor->iccLength = 0;
    }
    return true;
}

QByteArray iccProfileOf(const Decompressor &decompressor)
{
    if (!decompressor.iccData)
        return {};
    return QByteArray(reinterpret_cast<const char *>(decompressor.iccData), qsizetype(decompressor.iccLength));
}

JPEGDecoder::Kind kindFromHeader(const Decompressor &decompressor)
{
    const jpeg_decompress_struct &info = decompressor.info;
    if (info.num_components == 3 && (info.jpeg_color_space == JCS_YCbCr || info.jpeg_color_space == JCS_RGB))
        return JPEGDecoder::Kind::colour;
    if ((info.jpeg_color_space == JCS_CMYK || info.jpeg_color_space == JCS_YCCK) && decompressor.iccData &&
        isCMYKProfile(iccProfileOf(decompressor)))
        return JPEGDecoder::Kind::profiledCMYK;
    return JPEGDecoder::Kind::other;
}

struct ScanTarget {
    uchar *pixels;
    qsizetype bytesPerLine;
    JSAMPLE *inkRow;                      // one row of CMYK samples, for a transform
    const CMYKToSRGBTransform *transform; // absent: libjpeg writes RGB rows in place
};

// Decodes the scan lines into the target. Only plain data in this frame (see ErrorManager).
bool readScanLines(Decompressor *decompressor, ScanTarget target)
{
    jpeg_decompress_struct *info = &decompressor->info;
    if (setjmp(decompressor->error.jump))
        return false;
    // libjpeg turns YCCK into CMYK, and YCbCr into RGB.
    info->out_color_space = target.transform ? JCS_CMYK : JCS_RGB;
    jpeg_start_decompress(info);
    if (info->output_components != (target.transform ? 4 : 3))
        return false;
    while (info->output_scanline < info->output_height) {
        uchar *line = target.pixels + qsizetype(info->output_scanline) * target.bytesPerLine;
        JSAMPROW rows[1] = {target.transform ? target.inkRow : line};
        if (jpeg_read_scanlines(info, rows, 1) != 1)
            return false;
        if (target.transform)
            target.transform->convertRow(target.inkRow, line, int(info->output_width));
    }
    jpeg_finish_decompress(info);
    return true;
}

} // namespace

JPEGDecoder::Kind JPEGDecoder::kindOf(QIODevice &device)
{
    Decompressor decompressor(device);
    return readHeader(&decompressor) ? kindFromHeader(decompressor) : Kind::other;
}

std::optional<JPEGDecoder::Decoded> JPEGDecoder::decode(QIODevice &device, qint64 maximumPixelCount)
{
    Decompressor decompressor(device);
    if (!readHeader(&decompressor))
        return std::nullopt;
    const Kind kind = kindFromHeader(decompressor);
    if (kind == Kind::other)
        return std::nullopt;
    const qint64 width = decompressor.info.image_width;
    const qint64 height = decompressor.info.image_height;
    if (width <= 0 || height <= 0 || width * height > maximumPixelCount)
        return std::nullopt;

    Decoded decoded{QImage(int(width), int(height), QImage::Format_RGB888), iccProfileOf(decompressor)};
    if (decoded.image.isNull())
        return std::nullopt;
    std::optional<CMYKToSRGBTransform> transform;
    std::vector<JSAMPLE> inkRow;
    if (kind == Kind::profiledCMYK) {
        // Adobe's writers store CMYK inverted and mark the file with their APP14 segment.
        transform = CMYKToSRGBTransform::create(decoded.iccProfile, decompressor.info.saw_Adobe_marker);
        if (!transform)
            return std::nullopt;
        inkRow.resize(size_t(width) * 4);
        decoded.iccProfile.clear(); // the transform brings the pixels to sRGB
    }
    const ScanTarget target{decoded.image.bits(), decoded.image.bytesPerLine(), inkRow.data(),
                            transform ? &*transform : nullptr};
    if (!readScanLines(&decompressor, target))
        return std::nullopt;
    return decoded;
}

} // namespace pressel
