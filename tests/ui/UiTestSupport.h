// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QList>
#include <QObject>
#include <QTemporaryDir>
#include <QUrl>

#include <QtQml/qqmlregistration.h>

class QQuickItem;

// What the window tests need from C++: drops delivered to a window the way the platform
// delivers them, and fixture photos on disk.
class UiTestSupport : public QObject
{
    Q_OBJECT

public:
    using QObject::QObject;

    // Enter, move and drop over `item`; returns the drop's acceptance.
    Q_INVOKABLE bool drop(QQuickItem *item, const QList<QUrl> &urls);
    // A photo-like JPEG (a transparent graphic for a ".png") of the given size in a folder that
    // lives as long as this object.
    Q_INVOKABLE QUrl writePhoto(const QString &fileName, int width, int height);

private:
    QTemporaryDir m_folder;
};
