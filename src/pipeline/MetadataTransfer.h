// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "Failure.h"
#include "CompressionSettings.h"
#include "PrivateFile.h"
#include "SourceFile.h"

#include <QUrl>

namespace pressel {

// Carries a source's EXIF, XMP and IPTC, as its one look read them, into the output the encoders
// wrote (which holds none), filtered by the policy, and rewrites the still private output. Metadata that cannot be
// read or carried costs only the metadata: the output stays as written and the reason is
// logged. Only a failure to write the output itself is an error.
// outputURL is the name the output is meant to have, for the log.
Expected<void> transferMetadata(const SourceFile &source, PrivateFile &output, const QUrl &outputURL,
                                MetadataPolicy policy);

} // namespace pressel
