// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QObject>
#include <QUrl>
#include <QtQml/qqmlregistration.h>

class QJSEngine;
class QQmlEngine;

namespace pressel {

// The rows' thumbnails: a picture file cropped to fill a square and drawn inside a rounded
// outline, transparent beyond it, at the size an Image's sourceSize asks for. Decoded off the
// GUI thread (the Image loads asynchronously), upright as the file says, with Qt's image readers.
class Thumbnails : public QObject
{
    Q_OBJECT
    QML_ELEMENT
    QML_SINGLETON

public:
    static constexpr const char *name = "pressel-thumbnail";

    // Qt 6.4 builds a singleton with a default constructor before it looks for create().
    explicit Thumbnails(QQmlEngine *engine);

    static Thumbnails *create(QQmlEngine *engine, QJSEngine *);

    // `file`'s thumbnail with corners rounded by `cornerFraction` of the square's side.
    Q_INVOKABLE QUrl thumbnailURL(const QUrl &file, double cornerFraction) const;
};

} // namespace pressel
