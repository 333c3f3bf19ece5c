// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QObject>
#include <QtQml/qqmlregistration.h>

namespace pressel {

// The window content's lines in the "DockDrop" category, for QML.
class DockDropLog : public QObject
{
    Q_OBJECT
    QML_ELEMENT
    QML_SINGLETON

public:
    using QObject::QObject;

    Q_INVOKABLE void processingDockFiles(int count) const;
};

} // namespace pressel
