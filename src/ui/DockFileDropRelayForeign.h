// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "DockFileDropRelay.h"

#include <QJSEngine>
#include <QQmlEngine>
#include <QtQml/qqmlregistration.h>

namespace pressel {

// The process-wide relay as a QML singleton. QML must never delete it.
struct DockFileDropRelayForeign {
    Q_GADGET
    QML_FOREIGN(DockFileDropRelay)
    QML_NAMED_ELEMENT(DockFileDropRelay)
    QML_SINGLETON

public:
    static DockFileDropRelay *create(QQmlEngine *, QJSEngine *)
    {
        DockFileDropRelay *relay = &DockFileDropRelay::shared();
        QJSEngine::setObjectOwnership(relay, QJSEngine::CppOwnership);
        return relay;
    }
};

} // namespace pressel
