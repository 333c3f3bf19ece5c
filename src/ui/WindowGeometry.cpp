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

WindowGeometry::WindowGeometry(QObject *parent)
    : QObject(parent)
{
    m_pending.setSingleShot(true);
    m_pending.setInterval(300);
    connect(&m_pending, &QTimer::timeout, this, &WindowGeometry::save);
}

WindowGeometry::~WindowGeometry()
{
    save();
}

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
        connect(m_window, signal, this, &WindowGeometry::note);
    connect(m_window, &QWindow::windowStateChanged, this, &WindowGeometry::note);
}

// The place and size of the normal window; a maximised or minimised one keeps them for later.
void WindowGeometry::note()
{
    if (!m_window)
        return;
    const Qt::WindowStates states = m_window->windowStates();
    if (!(states & (Qt::WindowMinimized | Qt::WindowFullScreen)))
        m_maximized = bool(states & Qt::WindowMaximized);
    if (states == Qt::WindowNoState && m_window->isVisible())
        m_geometry = m_window->geometry();
    m_pending.start();
}

void WindowGeometry::save()
{
    m_pending.stop();
    if (!m_maximized && !m_geometry)
        return;
    const auto settings = CompressionSettings::userFile();
    if (m_maximized)
        settings->setValue(maximizedKey, *m_maximized);
    if (m_geometry)
        settings->setValue(geometryKey, *m_geometry);
    m_maximized.reset();
    m_geometry.reset();
}

} // namespace pressel
