// SPDX-License-Identifier: GPL-3.0-or-later
#include "JPEGTranEncoder.h"

#include "JPEGFrame.h"
#include "JPEGMarkerPruning.h"
#include "JPEGTranArguments.h"
#include "Logging.h"

namespace pressel {

ToolEncoder makeJPEGTranEncoder(const InstallLayout &layout, MetadataPolicy metadata)
{
    ToolEncoder::Description description{
        .toolName = QStringLiteral("jpegtran"),
        .displayName = QStringLiteral("jpegtran"),
        .notFound = Failure::jpegtranMissing,
        .logCategory = lcMozJPEG,
        .preflight = {},
        .prepare = [metadata](const ImageProfile &profile) -> Expected<ToolInvocation> {
            const auto frame = JPEGFrame::read(profile.source->bytes());
            if (!frame)
                return failure(Failure(Failure::imageDamaged));
            const JPEGTranArguments plan = jpegtranArguments(metadata, *frame);
            // For camera the markers are pruned as for strip, the orientation kept, and the
            // metadata transfer then adds the camera's fields from the source: should the
            // source's metadata not be readable, nothing of the place is left in the copy.
            const MetadataPolicy pruned = metadata == MetadataPolicy::all ? MetadataPolicy::all : MetadataPolicy::strip;
            const int orientation = plan.remainingOrientation;
            return ToolInvocation{plan.arguments, std::nullopt, [pruned, orientation](PrivateFile &output) -> Expected<void> {
                const auto kept = pruneJPEGMarkers(output.readAll(), pruned, orientation);
                if (!kept)
                    return failure(Failure(Failure::imageDamaged));
                if (!output.rewrite(*kept))
                    return failure(Failure(Failure::writeFailed));
                return {};
            }};
        },
        .outputEnding = QByteArrayLiteral("\xFF\xD9"), // end of image
        .lossless = true,
    };
    return ToolEncoder(std::move(description), layout);
}

} // namespace pressel
