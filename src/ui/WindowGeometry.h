// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QObject>
#include <QPointer>
#include <QQmlParserStatus>
#include <QWindow>
#include <QtQml/qqmlregistration.h>

namespace pressel {

// Keeps a window's place and size (or that it was maximised) in the user's settings and gives
// them back before the window is first shown, on a screen: a place that no screen shows any
// more (a screen unplugged) becomes the centre of the primary screen.
class WindowGeometry : public QObject, public QQmlParserStatus
{
    Q_OBJECT
    Q_INTERFACES(QQmlParserStatus)
    QML_ELEMENT
    Q_PROPERTY(QWindow *target READ target WRITE setTarget NOTIFY targetChanged)

public:
    using QObject::QObject;

    QWindow *target() const { return m_window; }
    void setTarget(QWindow *window);

    void classBegin() override {}
    void componentComplete() override;

signals:
    void targetChanged();

private:
    void restore();
    void save() const;

    QPointer<QWindow> m_window;
    bool m_complete = false;
};

} // namespace pressel
