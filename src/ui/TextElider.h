// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QFont>
#include <QObject>
#include <QString>
#include <QtQml/qqmlregistration.h>

namespace pressel {

// Cuts a text to a number of wrapped lines with "…" in its middle, keeping its end. Selectable text
// items cannot elide by themselves, so they show what this returns.
class TextElider : public QObject
{
    Q_OBJECT
    QML_ELEMENT
    QML_SINGLETON

public:
    using QObject::QObject;

    // Lines wrap at word boundaries, or anywhere inside words that do not fit (long paths).
    Q_INVOKABLE QString elide(const QString &text, const QFont &font, qreal width, int maximumLineCount) const;
};

} // namespace pressel
