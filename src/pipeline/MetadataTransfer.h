// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "Failure.h"
#include "CompressionSettings.h"
#include "PrivateFile.h"
#include "SourceFile.h"

#include <QByteArray>
#include <QSize>
#include <QUrl>

namespace pressel {

// Carries a source's EXIF, XMP and IPTC, as its one look read them, into the output the encoders
// wrote (which holds none), filtered by the policy, and rewrites the still private output. Metadata that cannot be
// read or carried costs only the metadata: the output stays as written and the reason is
// logged. Only a failure to write the output itself is an error.
// outputURL is the name the output is meant to have, for the log. An output whose pixels are
// the source's as stored (a lossless one) keeps the source's orientation, and under `all` also
// its thumbnail, sizes and colour space, which stay true; any other output is upright in sRGB.
Expected<void> transferMetadata(const SourceFile &source, PrivateFile &output, const QUrl &outputURL,
                                MetadataPolicy policy, bool pixelsAsStored = false);

// The same metadata for an encoder that writes it into the output itself (AVIF, which Exiv2
// does not write): EXIF as TIFF-structured bytes and XMP as a packet, filtered by the policy and
// made true of an upright output of `outputSize`. Empty parts where the source has none or
// cannot be read (logged).
struct MetadataItems {
    QByteArray exif;
    QByteArray xmp;
};
MetadataItems metadataItems(const SourceFile &source, MetadataPolicy policy, QSize outputSize);

} // namespace pressel
