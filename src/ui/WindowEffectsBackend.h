#pragma once

#include <QMargins>
#include <QRect>
#include <QString>

#include <memory>

class QWindow;

// What the window chrome needs of the desktop: whether windows are composed (so see-through
// pixels show what lies behind), and a way to tell the window manager where the visible frame
// lies inside the window and to blur what is behind it. The default does nothing and reports
// no compositing, which gives the opaque look.
class WindowEffectsBackend
{
public:
    virtual ~WindowEffectsBackend() = default;

    virtual bool isCompositing() const { return false; }
    // `frame` is the visible backdrop in the window's own coordinates; the rest of the window
    // is its shadow.
    virtual void setBackdrop(QWindow *window, const QRect &frame, int cornerRadius) const
    {
        Q_UNUSED(window);
        Q_UNUSED(frame);
        Q_UNUSED(cornerRadius);
    }

    // The backend for a Qt platform plugin name ("xcb", "wayland", "offscreen", ...).
    static std::unique_ptr<WindowEffectsBackend> forPlatform(const QString &platformName);
};
