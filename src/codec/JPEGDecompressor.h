// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QIODevice>

#include <csetjmp>
#include <cstdio>

#include <jpeglib.h>

namespace pressel {

// libjpeg reading from a QIODevice in chunks, so that a large file is never held in memory
// whole, with errors that come back to the caller instead of ending the process.
//
// libjpeg reports a fatal error by calling error_exit, which must not return: it jumps back to
// the setjmp(error.jump) of the phase that is running. Functions that call setjmp hold only plain
// data in their frame, so the jump skips no destructor.
struct JPEGDecompressor {
    struct ErrorManager {
        jpeg_error_mgr pub;
        std::jmp_buf jump;
        // The data ended early or its entropy-coded part is corrupt: libjpeg went on and
        // filled the rest with grey. Harmless oddities (stray bytes between markers) do not count.
        bool damaged = false;
    };
    struct DeviceSource {
        jpeg_source_mgr pub;
        QIODevice *device;
        JOCTET buffer[64 * 1024];
    };

    jpeg_decompress_struct info;
    ErrorManager error;
    DeviceSource source;
    QByteArray iccProfile; // filled by readHeader

    explicit JPEGDecompressor(QIODevice &device);
    ~JPEGDecompressor();
    JPEGDecompressor(const JPEGDecompressor &) = delete;
    JPEGDecompressor &operator=(const JPEGDecompressor &) = delete;

    // Reads the header and the ICC profile from the device's current position; false for what
    // is not a JPEG or is damaged before its first scan.
    bool readHeader();
};

} // namespace pressel
