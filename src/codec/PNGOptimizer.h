// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>

#include <optional>

namespace pressel {

// Rewrites a PNG smaller without changing a pixel: every decoder reads the same RGBA from the
// output as from the source, alpha and 16-bit samples included. The colour type and bit depth
// are reduced as far as the pixels allow (a palette for at most 256 colours, grey for grey
// pixels, no alpha where all are opaque, 8 bits where 16 hold 8, 1, 2 or 4 bits for grey and
// small palettes), several row filter strategies are tried, and the best is deflated by
// libdeflate at its strongest level. The output is never interlaced.
//
// Kept: the colour chunks (iCCP, sRGB, gAMA, cHRM, cICP, mDCv, cLLi) and the pixel aspect
// (pHYs); a colour profile keeps the picture grey or in colour, as the profile describes it.
// With keepText also the text chunks, eXIf, tIME and other chunks that declare themselves safe
// to copy; never what describes the old encoding (sBIT, bKGD, hIST, sPLT).
//
// Absent for what is not a PNG that decodes whole, for an animated PNG (whose frames would
// have to follow the new colour type), and should the output not decode to the source's
// pixels, which it checks before returning.
std::optional<QByteArray> optimizePNG(const QByteArray &png, bool keepText);

} // namespace pressel
