#pragma once

#include <QString>
#include <cstdint>
#include <memory>

namespace platform {

// Top-level windows of the desktop, as FindWindowA / SetForegroundWindow / SetWindowPos
// reached them. Handles are X11 window ids on X11; 0 means "no window".
class WindowSystem {
public:
    virtual ~WindowSystem() = default;

    // A top-level window whose title is exactly `title` (any class), or 0.
    virtual std::uint32_t findWindow(const QString& title) = 0;
    virtual void setForeground(std::uint32_t window) = 0;
    virtual void setTopMost(std::uint32_t window) = 0;
    // Kept out of the desktop's task bar, as a dialog that belongs to the program is.
    virtual void setSkipTaskbar(std::uint32_t) {}

    // The one instance for this process: X11 when the Qt platform is xcb, else the
    // null version that finds nothing and does nothing.
    static WindowSystem& instance();
    static void setInstanceForTesting(std::unique_ptr<WindowSystem> replacement);
};

class NullWindowSystem : public WindowSystem {
public:
    std::uint32_t findWindow(const QString&) override { return 0; }
    void setForeground(std::uint32_t) override {}
    void setTopMost(std::uint32_t) override {}
};

} // namespace platform
