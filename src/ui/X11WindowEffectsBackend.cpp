#include "X11WindowEffectsBackend.h"

#include <QGuiApplication>
#include <QList>
#include <QWindow>

#include <xcb/xcb.h>

#include <cmath>
#include <cstdlib>

namespace {

xcb_connection_t *connection()
{
    auto *x11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    return x11 ? x11->connection() : nullptr;
}

xcb_atom_t atom(xcb_connection_t *connection, const char *name, bool onlyIfExists)
{
    const xcb_intern_atom_cookie_t cookie = xcb_intern_atom(connection, onlyIfExists, uint16_t(qstrlen(name)), name);
    xcb_intern_atom_reply_t *reply = xcb_intern_atom_reply(connection, cookie, nullptr);
    if (!reply)
        return XCB_ATOM_NONE;
    const xcb_atom_t result = reply->atom;
    std::free(reply);
    return result;
}

void setCardinals(xcb_connection_t *connection, xcb_window_t window, const char *name, const QList<quint32> &values)
{
    const xcb_atom_t property = atom(connection, name, false);
    if (property == XCB_ATOM_NONE)
        return;
    xcb_change_property(connection, XCB_PROP_MODE_REPLACE, window, property, XCB_ATOM_CARDINAL, 32,
                        uint32_t(values.size()), values.constData());
}

// The rounded frame as rectangles (x, y, width, height): one band per pixel row in the corners
// and one block for the straight middle, so the blur never leaks past the rounded corners.
QList<quint32> roundedRegion(const QRect &frame, int radius)
{
    QList<quint32> rects;
    const auto add = [&rects](int x, int y, int width, int height) {
        if (width <= 0 || height <= 0)
            return;
        rects << quint32(x) << quint32(y) << quint32(width) << quint32(height);
    };
    radius = std::min({radius, frame.width() / 2, frame.height() / 2});
    for (int row = 0; row < radius; ++row) {
        const double dy = radius - row - 0.5;
        const int inset = int(std::ceil(radius - std::sqrt(double(radius) * radius - dy * dy)));
        add(frame.x() + inset, frame.y() + row, frame.width() - 2 * inset, 1);
        add(frame.x() + inset, frame.bottom() - row, frame.width() - 2 * inset, 1);
    }
    add(frame.x(), frame.y() + radius, frame.width(), frame.height() - 2 * radius);
    return rects;
}

} // namespace

bool X11WindowEffectsBackend::isCompositing() const
{
    xcb_connection_t *xcb = connection();
    if (!xcb)
        return false;
    // Screen 0: Pressel opens its window on the default screen of the display.
    const xcb_atom_t selection = atom(xcb, "_NET_WM_CM_S0", false);
    if (selection == XCB_ATOM_NONE)
        return false;
    xcb_get_selection_owner_reply_t *reply =
        xcb_get_selection_owner_reply(xcb, xcb_get_selection_owner(xcb, selection), nullptr);
    if (!reply)
        return false;
    const bool owned = reply->owner != XCB_WINDOW_NONE;
    std::free(reply);
    return owned;
}

void X11WindowEffectsBackend::setBackdrop(QWindow *window, const QRect &frame, int cornerRadius) const
{
    xcb_connection_t *xcb = connection();
    if (!xcb || !window || !window->handle())
        return;
    const auto xWindow = xcb_window_t(window->winId());
    const qreal ratio = window->devicePixelRatio();
    const QRect deviceFrame(QPoint(qRound(frame.x() * ratio), qRound(frame.y() * ratio)),
                            QSize(qRound(frame.width() * ratio), qRound(frame.height() * ratio)));
    const QSize deviceWindow(qRound(window->width() * ratio), qRound(window->height() * ratio));

    setCardinals(xcb, xWindow, "_GTK_FRAME_EXTENTS",
                 {quint32(std::max(0, deviceFrame.left())),
                  quint32(std::max(0, deviceWindow.width() - deviceFrame.x() - deviceFrame.width())),
                  quint32(std::max(0, deviceFrame.top())),
                  quint32(std::max(0, deviceWindow.height() - deviceFrame.y() - deviceFrame.height()))});
    setCardinals(xcb, xWindow, "_KDE_NET_WM_BLUR_BEHIND_REGION",
                 roundedRegion(deviceFrame, qRound(cornerRadius * ratio)));
    xcb_flush(xcb);
}
