#include "WindowEffectsBackend.h"

#include "X11WindowEffectsBackend.h"

namespace {

// Wayland always composes; blur needs a compositor-specific protocol that is not spoken here.
class WaylandWindowEffectsBackend final : public WindowEffectsBackend
{
public:
    bool isCompositing() const override { return true; }
};

} // namespace

std::unique_ptr<WindowEffectsBackend> WindowEffectsBackend::forPlatform(const QString &platformName)
{
    if (platformName == u"xcb")
        return std::make_unique<X11WindowEffectsBackend>();
    if (platformName.startsWith(u"wayland"))
        return std::make_unique<WaylandWindowEffectsBackend>();
    return std::make_unique<WindowEffectsBackend>();
}
