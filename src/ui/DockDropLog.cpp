// SPDX-License-Identifier: GPL-3.0-or-later
#include "DockDropLog.h"

#include "Logging.h"

namespace pressel {

void DockDropLog::processingDockFiles(int count) const
{
    qCInfo(lcDockDrop).noquote() << QStringLiteral("ContentView processing %1 dock file(s)").arg(count);
}

} // namespace pressel
