// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "CompressionError.h"
#include "CompressionSettings.h"

#include <QUrl>

namespace pressel {

// Carries a source's EXIF, XMP and IPTC into the output the encoders wrote (which holds none),
// filtered by the policy, and rewrites the output in one atomic step. Metadata that cannot be
// read or carried costs only the metadata: the output stays as written and the reason is
// logged. Only a failure to write the output itself is an error.
Expected<void> transferMetadata(const QUrl &sourceURL, const QUrl &outputURL, MetadataPolicy policy);

} // namespace pressel
