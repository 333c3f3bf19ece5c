// SPDX-License-Identifier: GPL-3.0-or-later
#include "JPEGDecompressor.h"

#include <cstdlib>

#include <jerror.h>

namespace pressel {

namespace {

[[noreturn]] void exitWithError(j_common_ptr info)
{
    std::longjmp(reinterpret_cast<JPEGDecompressor::ErrorManager *>(info->err)->jump, 1);
}

void ignoreMessage(j_common_ptr) {}

void noteWarning(j_common_ptr info, int level)
{
    if (level >= 0) // trace messages
        return;
    ++info->err->num_warnings;
    switch (info->err->msg_code) {
    case JWRN_JPEG_EOF:
    case JWRN_HIT_MARKER:
    case JWRN_HUFF_BAD_CODE:
    case JWRN_ARITH_BAD_CODE:
    case JWRN_MUST_RESYNC:
    case JWRN_NOT_SEQUENTIAL:
        reinterpret_cast<JPEGDecompressor::ErrorManager *>(info->err)->damaged = true;
        break;
    default:
        break;
    }
}

void initSource(j_decompress_ptr) {}
void termSource(j_decompress_ptr) {}

boolean fillInputBuffer(j_decompress_ptr info)
{
    auto *source = reinterpret_cast<JPEGDecompressor::DeviceSource *>(info->src);
    qint64 count = source->device->read(reinterpret_cast<char *>(source->buffer), sizeof source->buffer);
    if (count <= 0) {
        // A truncated file ends as if it were complete, so that libjpeg stops cleanly; what it
        // fills the rest with is no picture, so the file counts as damaged.
        reinterpret_cast<JPEGDecompressor::ErrorManager *>(info->err)->damaged = true;
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
    auto *source = reinterpret_cast<JPEGDecompressor::DeviceSource *>(info->src);
    while (count > long(source->pub.bytes_in_buffer)) {
        count -= long(source->pub.bytes_in_buffer);
        fillInputBuffer(info);
    }
    if (count > 0) {
        source->pub.next_input_byte += count;
        source->pub.bytes_in_buffer -= size_t(count);
    }
}

// Only plain data in this frame (see JPEGDecompressor).
bool readHeaderAndProfile(jpeg_decompress_struct *info, std::jmp_buf *jump, JOCTET **icc, unsigned int *iccLength)
{
    if (setjmp(*jump))
        return false;
    jpeg_save_markers(info, JPEG_APP0 + 2, 0xFFFF);
    if (jpeg_read_header(info, TRUE) != JPEG_HEADER_OK)
        return false;
    if (!jpeg_read_icc_profile(info, icc, iccLength)) {
        *icc = nullptr;
        *iccLength = 0;
    }
    return true;
}

} // namespace

JPEGDecompressor::JPEGDecompressor(QIODevice &device)
{
    info.err = jpeg_std_error(&error.pub);
    error.pub.error_exit = exitWithError;
    error.pub.output_message = ignoreMessage;
    error.pub.emit_message = noteWarning;
    jpeg_create_decompress(&info);
    // A backstop behind the check of the header against the file's size: the coefficients of the
    // largest progressive photo we accept fit, and a request beyond them fails instead of
    // swapping the machine.
    info.mem->max_memory_to_use = 2'000'000'000L;
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

JPEGDecompressor::~JPEGDecompressor()
{
    jpeg_destroy_decompress(&info);
}

bool JPEGDecompressor::readHeader()
{
    JOCTET *icc = nullptr;
    unsigned int iccLength = 0;
    const bool read = readHeaderAndProfile(&info, &error.jump, &icc, &iccLength);
    if (icc) {
        iccProfile = QByteArray(reinterpret_cast<const char *>(icc), qsizetype(iccLength));
        std::free(icc);
    }
    return read;
}

} // namespace pressel
