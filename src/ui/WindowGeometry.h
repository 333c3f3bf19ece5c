// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QObject>
#include <QPointer>
#include <QQmlParserStatus>
#include <QRect>
#include <QTimer>
#include <QWindow>
#include <QtQml/qqmlregistration.h>

#include <optional>

namespace pressel {

// Keeps a window's place and size (or that it was maximised) in the user's settings and gives
// them back before the window is first shown, on a screen: a place that no screen shows any
// more (a screen unplugged) becomes the centre of the primary screen. A drag moves the window
// many times a second, so the settings file is written once the window has kept still a moment,
// and at the latest when this goes away with the window.
class WindowGeometry : public QObject, public QQmlParserStatus
{
    Q_OBJECT
    Q_INTERFACES(QQmlParserStatus)
    QML_ELEMENT
    Q_PROPERTY(QWindow *target READ target WRITE setTarget NOTIFY targetChanged)

public:
    explicit WindowGeometry(QObject *parent = nullptr);
    ~WindowGeometry() override;

    QWindow *target() const { return m_window; }
    void setTarget(QWindow *window);

    void classBegin() override {}
    void componentComplete() override;

signals:
    void targetChanged();

private:
    void restore();
    void note();
    void save();

    QPointer<QWindow> m_window;
    bool m_complete = false;
    QTimer m_pending;
    std::optional<bool> m_maximized; // what to write once the window keeps still
    std::optional<QRect> m_geometry;
};

} // namespace pressel
