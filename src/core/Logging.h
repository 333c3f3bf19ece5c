// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QLoggingCategory>

// One category per component, named "<application id>.<component>".
// Progress lines go out at info level, the chains' fallback lines at critical level.
namespace pressel {

inline constexpr char appId[] = "com.korvane.Pressel";
void installLogFormat();

Q_DECLARE_LOGGING_CATEGORY(lcCompression)
Q_DECLARE_LOGGING_CATEGORY(lcJPEGCompression)
Q_DECLARE_LOGGING_CATEGORY(lcMozJPEG)
Q_DECLARE_LOGGING_CATEGORY(lcPNGCompression)
Q_DECLARE_LOGGING_CATEGORY(lcPNGQuant)
Q_DECLARE_LOGGING_CATEGORY(lcOpenRequest)
Q_DECLARE_LOGGING_CATEGORY(lcMetadata)
Q_DECLARE_LOGGING_CATEGORY(lcFileManager)

} // namespace pressel
