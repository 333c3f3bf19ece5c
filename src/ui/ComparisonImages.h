// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QObject>
#include <QRect>
#include <QSize>
#include <QUrl>
#include <QtQml/qqmlregistration.h>

class QJSEngine;
class QQmlEngine;

namespace pressel {

// The before/after view's way to its pictures: makes sure the engine has the comparison image
// provider and names the pictures it serves.
class ComparisonImages : public QObject
{
    Q_OBJECT
    QML_ELEMENT
    QML_SINGLETON

public:
    // Qt 6.4 builds a singleton with a default constructor before it looks for create().
    explicit ComparisonImages(QQmlEngine *engine);

    static ComparisonImages *create(QQmlEngine *engine, QJSEngine *);

    // `region` of `file` in the pixels of a picture of `referenceSize`, for an Image whose
    // sourceSize says at what size to decode it.
    Q_INVOKABLE QUrl pictureURL(const QUrl &file, const QRect &region, const QSize &referenceSize) const;
};

} // namespace pressel
