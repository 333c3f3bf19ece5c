// SPDX-License-Identifier: GPL-3.0-or-later
#include "WindowGeometry.h"

#include "CompressionSettings.h"

#include <QGuiApplication>
#include <QScreen>
#include <QSettings>

#include <algorithm>

namespace pressel {

namespace {

const QString geometryKey = QStringLiteral("window/geometry");
const QString maximizedKey = QStringLiteral("window/maximized");

// Enough of the window, its top edge included, for the pointer to catch it there.
bool reachable(const QRect &geometry)
{
    const QList<QScreen *> screens = QGuiApplication::screens();
    return std::any_of(screens.begin(), screens.end(), [&](const QScreen *screen) {
        const QRect area = screen->availableGeometry();
        const QRect shown = area.intersected(geometry);
        return area.contains(QPoint(shown.center().x(), geometry.top()))
               && shown.width() >= std::min(geometry.width(), 200) && shown.height() >= std::min(geometry.height(), 100);
    });
}

} // namespace

void WindowGeometry::setTarget(QWindow *window)
{
    if (m_window == window)
        return;
    if (m_window)
        m_window->disconnect(this);
    m_window = window;
    if (m_complete)
        restore();
    emit targetChanged();
}

void WindowGeometry::componentComplete()
{
    m_complete = true;
    restore();
}

void WindowGeometry::restore()
{
    if (!m_window)
        return;
    const auto settings = CompressionSettings::userFile();
    QRect geometry = settings->value(geometryKey).toRect();
    if (geometry.isValid()) {
        QScreen *primary = QGuiApplication::primaryScreen();
        if (!reachable(geometry) && primary) {
            const QRect area = primary->availableGeometry();
            geometry.setSize(geometry.size().expandedTo(m_window->minimumSize()).boundedTo(area.size()));
            geometry.moveCenter(area.center());
        }
        m_window->setGeometry(geometry);
    }
    if (settings->value(maximizedKey).toBool())
        m_window->setWindowStates(Qt::WindowMaximized);

    for (const auto signal : {&QWindow::xChanged, &QWindow::yChanged, &QWindow::widthChanged, &QWindow::heightChanged})
        connect(m_window, signal, this, &WindowGeometry::save);
    connect(m_window, &QWindow::windowStateChanged, this, &WindowGeometry::save);
}

// The place and size of the normal window; a maximised or minimised one keeps them for later.
void WindowGeometry::save() const
{
    const auto settings = CompressionSettings::userFile();
    const Qt::WindowStates states = m_window->windowStates();
    if (!(states & (Qt::WindowMinimized | Qt::WindowFullScreen)))
        settings->setValue(maximizedKey, bool(states & Qt::WindowMaximized));
    if (states == Qt::WindowNoState && m_window->isVisible())
        settings->setValue(geometryKey, m_window->geometry());
}

} // namespace pressel
