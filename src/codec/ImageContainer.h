// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QString>

namespace pressel {

// The container of an image file as its first bytes tell it, never its name: the type
// identifier that detection classifies, and which decoder reads the pixels.
struct ImageContainer {
    enum class Decoder { none, qt, heif, webp };

    QString typeIdentifier; // empty when the bytes match no container we know
    Decoder decoder = Decoder::none;
    QByteArray qtFormat; // the Qt image plugin, for Decoder::qt

    // How many leading bytes sniff() wants to see; a shorter file is passed whole.
    static constexpr qsizetype headerLength = 512;
    static ImageContainer sniff(const QByteArray &head);
};

} // namespace pressel
