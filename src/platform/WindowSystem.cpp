#include "WindowSystem.h"

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

// Replaced by the X11 implementation; until then every platform gets the null one.
std::unique_ptr<WindowSystem> createPlatformWindowSystem() {
    return std::make_unique<NullWindowSystem>();
}

} // namespace platform
