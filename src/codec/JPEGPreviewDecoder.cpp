// SPDX-License-Identifier: GPL-3.0-or-later
#include "JPEGPreviewDecoder.h"

#include "JPEGDecompressor.h"

#include <jerror.h>

#include <algorithm>
#include <cstring>

namespace pressel {

namespace {

// libjpeg keeps every coefficient of a progressive file until its last scan: 128 bytes a block,
// 600 MB for a 200 MP photo, faulted in and zeroed page by page before the first DC term lands.
// An eighth is made of the DC terms alone, so the decoder's block arrays are replaced, through
// its memory manager, by a store of DC terms with a window of a few block rows in front of it.
// Whatever a scan writes beyond the DC term is dropped when the window moves on; the eighth's
// inverse transform never reads it.
struct DCBlockArray {
    JDIMENSION rows;
    JDIMENSION blocksPerRow;
    JDIMENSION maximumAccess;
    int pool;
    JCOEF *dc = nullptr; // rows × blocksPerRow
    JBLOCKARRAY window = nullptr; // maximumAccess rows
    JDIMENSION windowStart = 0;
    JDIMENSION windowRows = 0;
    bool windowWritten = false;
    DCBlockArray *next = nullptr;
};

struct DCStore {
    void (*realizeLibraryArrays)(j_common_ptr) = nullptr;
    DCBlockArray *arrays = nullptr;
};

DCStore &dcStore(j_common_ptr info)
{
    return *static_cast<DCStore *>(info->client_data);
}

jvirt_barray_ptr requestDCArray(j_common_ptr info, int pool, boolean, JDIMENSION blocksPerRow, JDIMENSION rows,
                                JDIMENSION maximumAccess)
{
    auto *array = static_cast<DCBlockArray *>(info->mem->alloc_small(info, pool, sizeof(DCBlockArray)));
    *array = DCBlockArray{rows, blocksPerRow, std::max<JDIMENSION>(maximumAccess, 1), pool};
    DCStore &store = dcStore(info);
    array->next = store.arrays;
    store.arrays = array;
    return reinterpret_cast<jvirt_barray_ptr>(array);
}

void realizeDCArrays(j_common_ptr info)
{
    DCStore &store = dcStore(info);
    store.realizeLibraryArrays(info);
    for (DCBlockArray *array = store.arrays; array; array = array->next) {
        const size_t terms = size_t(array->rows) * array->blocksPerRow;
        if (array->blocksPerRow != 0 && terms / array->blocksPerRow != array->rows)
            ERREXIT(info, JERR_WIDTH_OVERFLOW);
        array->dc = static_cast<JCOEF *>(info->mem->alloc_large(info, array->pool, terms * sizeof(JCOEF)));
        std::memset(array->dc, 0, terms * sizeof(JCOEF));
        array->window = info->mem->alloc_barray(info, array->pool, array->blocksPerRow, array->maximumAccess);
    }
}

JBLOCKARRAY accessDCArray(j_common_ptr info, jvirt_barray_ptr handle, JDIMENSION startRow, JDIMENSION rowCount,
                          boolean writable)
{
    auto *array = reinterpret_cast<DCBlockArray *>(handle);
    if (!array->dc || rowCount > array->maximumAccess || startRow > array->rows
        || rowCount > array->rows - startRow)
        ERREXIT(info, JERR_BAD_VIRTUAL_ACCESS);
    if (startRow < array->windowStart || startRow + rowCount > array->windowStart + array->windowRows) {
        const JDIMENSION width = array->blocksPerRow;
        if (array->windowWritten) {
            for (JDIMENSION row = 0; row < array->windowRows; ++row) {
                JCOEF *dc = array->dc + size_t(array->windowStart + row) * width;
                for (JDIMENSION block = 0; block < width; ++block)
                    dc[block] = array->window[row][block][0];
            }
        }
        array->windowStart = startRow;
        array->windowRows = std::min(array->maximumAccess, array->rows - startRow);
        array->windowWritten = false;
        for (JDIMENSION row = 0; row < array->windowRows; ++row) {
            const JCOEF *dc = array->dc + size_t(startRow + row) * width;
            std::memset(array->window[row], 0, size_t(width) * sizeof(JBLOCK));
            for (JDIMENSION block = 0; block < width; ++block)
                array->window[row][block][0] = dc[block];
        }
    }
    if (writable)
        array->windowWritten = true;
    return array->window + (startRow - array->windowStart);
}

void useDCStore(jpeg_decompress_struct *info, DCStore *store)
{
    info->client_data = store;
    store->realizeLibraryArrays = info->mem->realize_virt_arrays;
    info->mem->request_virt_barray = requestDCArray;
    info->mem->realize_virt_arrays = realizeDCArrays;
    info->mem->access_virt_barray = accessDCArray;
}

// Whether every component's DC coefficients have arrived at full precision.
bool hasWholeDC(const jpeg_decompress_struct &info)
{
    for (int component = 0; component < info.num_components; ++component) {
        if (info.coef_bits[component][0] != 0)
            return false;
    }
    return true;
}

// Only plain data in this frame (see JPEGDecompressor).
bool readEighth(JPEGDecompressor *decompressor, DCStore *store, uchar *pixels, qsizetype bytesPerLine)
{
    jpeg_decompress_struct *info = &decompressor->info;
    if (setjmp(decompressor->error.jump))
        return false;
    // Every file goes through the DC store, a sequential one too, so that its colour planes are
    // made of DC terms alone like those of a progressive one read only as far as its DC scans:
    // the two sides of a comparison differ by nothing but their coefficients.
    info->buffered_image = TRUE;
    // Smoothing guesses at coefficients the store never keeps.
    info->do_block_smoothing = FALSE;
    useDCStore(info, store);
    jpeg_start_decompress(info);
    int status = JPEG_SUSPENDED;
    while (status != JPEG_REACHED_EOI
           && !(status == JPEG_SCAN_COMPLETED && info->progressive_mode && hasWholeDC(*info)))
        status = jpeg_consume_input(info);
    jpeg_start_output(info, info->input_scan_number);
    while (info->output_scanline < info->output_height) {
        JSAMPROW rows[1] = {pixels + qsizetype(info->output_scanline) * bytesPerLine};
        if (jpeg_read_scanlines(info, rows, 1) != 1)
            return false;
    }
    // The rest of the file holds nothing an eighth needs.
    jpeg_abort_decompress(info);
    return true;
}

} // namespace

std::optional<JPEGPreviewDecoder::Preview> JPEGPreviewDecoder::decode(QIODevice &device, qint64 maximumPixelCount)
{
    JPEGDecompressor decompressor(device);
    if (!decompressor.readHeader())
        return std::nullopt;
    jpeg_decompress_struct &info = decompressor.info;
    const qint64 width = info.image_width;
    const qint64 height = info.image_height;
    if (width <= 0 || height <= 0 || width * height > maximumPixelCount)
        return std::nullopt;
    const bool grey = info.jpeg_color_space == JCS_GRAYSCALE;
    if (!grey && info.jpeg_color_space != JCS_YCbCr && info.jpeg_color_space != JCS_RGB)
        return std::nullopt;
    info.out_color_space = grey ? JCS_GRAYSCALE : JCS_RGB;
    info.scale_num = 1;
    info.scale_denom = 8;
    jpeg_calc_output_dimensions(&info);
    QImage image(int(info.output_width), int(info.output_height),
                 grey ? QImage::Format_Grayscale8 : QImage::Format_RGB888);
    DCStore store;
    if (image.isNull() || !readEighth(&decompressor, &store, image.bits(), image.bytesPerLine()))
        return std::nullopt;
    return Preview{std::move(image), std::move(decompressor.iccProfile)};
}

} // namespace pressel
