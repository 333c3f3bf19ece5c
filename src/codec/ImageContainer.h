// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include "ImageFormat.h"

#include <QString>

namespace pressel {

// The container of an image file as its first bytes tell it, never its name: the kind the
// pipeline tells apart (unknown for a container we decode but neither compress nor convert), and which
// decoder reads the pixels (none for bytes of no container we know).
struct ImageContainer {
    enum class Decoder { none, qt, heif, webp };

    ImageFormat::Kind kind = ImageFormat::Kind::unknown;
    Decoder decoder = Decoder::none;
    QByteArray qtFormat; // the Qt image plugin, for Decoder::qt
    // An HEIF or AVIF image sequence (an animation), by its major brand: its still image, when it
    // has one, is a single frame of what a viewer plays.
    bool sequence = false;

    // How many leading bytes sniff() wants to see; a shorter file is passed whole.
    static constexpr qsizetype headerLength = 512;
    static ImageContainer sniff(const QByteArray &head);
};

} // namespace pressel
