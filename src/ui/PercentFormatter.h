// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QLocale>
#include <QObject>
#include <QString>
#include <QtQml/qqmlregistration.h>

namespace pressel {

// A fraction as a whole percent in the user's locale: 0.35 -> "35%". No fraction digits; halves
// round to the even neighbour.
class PercentFormatter : public QObject
{
    Q_OBJECT
    QML_ELEMENT
    QML_SINGLETON

public:
    using QObject::QObject;

    Q_INVOKABLE QString stringFromFraction(double fraction) const;

    static QString stringFromFraction(double fraction, const QLocale &locale);
};

} // namespace pressel
