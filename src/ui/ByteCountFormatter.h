// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QLocale>
#include <QObject>
#include <QString>
#include <QtQml/qqmlregistration.h>

namespace pressel {

// Sizes as the rows show them: kilobytes or megabytes only, counted in multiples of 1000, in
// the user's locale. One shared instance serves every row.
class ByteCountFormatter : public QObject
{
    Q_OBJECT
    QML_ELEMENT
    QML_SINGLETON

public:
    using QObject::QObject;

    Q_INVOKABLE QString stringFromByteCount(qint64 byteCount) const;

    static QString stringFromByteCount(qint64 byteCount, const QLocale &locale);
};

} // namespace pressel
