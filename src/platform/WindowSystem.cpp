#include "WindowSystem.h"

#include "WindowSystemX11.h"

#include <QGuiApplication>

namespace platform {
namespace {
std::unique_ptr<WindowSystem>& slot() {
    static std::unique_ptr<WindowSystem> ws;
    return ws;
}
} // namespace

std::unique_ptr<WindowSystem> createPlatformWindowSystem();

WindowSystem& WindowSystem::instance() {
    if (!slot())
        slot() = createPlatformWindowSystem();
    return *slot();
}

void WindowSystem::setInstanceForTesting(std::unique_ptr<WindowSystem> replacement) {
    slot() = std::move(replacement);
}

// X11 only when Qt itself draws on X11: on offscreen or Wayland there are no X
// windows of ours to find or raise, even if a DISPLAY happens to be set.
std::unique_ptr<WindowSystem> createPlatformWindowSystem() {
    if (QGuiApplication::platformName() == QLatin1String("xcb")) {
        if (auto x11 = X11WindowSystem::open())
            return x11;
    }
    return std::make_unique<NullWindowSystem>();
}

} // namespace platform
