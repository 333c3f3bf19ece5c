// SPDX-License-Identifier: GPL-3.0-or-later
#include "Logging.h"

namespace pressel {

Q_LOGGING_CATEGORY(lcCompression, "com.korvane.Pressel.Compression", QtInfoMsg)
Q_LOGGING_CATEGORY(lcJPEGCompression, "com.korvane.Pressel.JPEGCompression", QtInfoMsg)
Q_LOGGING_CATEGORY(lcMozJPEG, "com.korvane.Pressel.MozJPEG", QtInfoMsg)
Q_LOGGING_CATEGORY(lcPNGCompression, "com.korvane.Pressel.PNGCompression", QtInfoMsg)
Q_LOGGING_CATEGORY(lcPNGQuant, "com.korvane.Pressel.PNGQuant", QtInfoMsg)
Q_LOGGING_CATEGORY(lcOpenRequest, "com.korvane.Pressel.DockDrop", QtInfoMsg)
Q_LOGGING_CATEGORY(lcMetadata, "com.korvane.Pressel.Metadata", QtInfoMsg)
Q_LOGGING_CATEGORY(lcFileManager, "com.korvane.Pressel.FileManager", QtInfoMsg)

void installLogFormat()
{
    // Every line names its category so an encoder can be traced by grepping one component.
    qSetMessagePattern(QStringLiteral("%{if-critical}[error] %{endif}%{category}: %{message}"));
}

} // namespace pressel
