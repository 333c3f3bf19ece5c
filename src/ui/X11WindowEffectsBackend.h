#pragma once

#include "WindowEffectsBackend.h"

// X11: a compositing manager owns the _NET_WM_CM_S0 selection; _GTK_FRAME_EXTENTS tells the
// window manager which part of the window is shadow, and KWin blurs the region named in
// _KDE_NET_WM_BLUR_BEHIND_REGION. Window managers that know neither property ignore them.
class X11WindowEffectsBackend final : public WindowEffectsBackend
{
public:
    bool isCompositing() const override;
    void setBackdrop(QWindow *window, const QRect &frame, int cornerRadius) const override;
};
