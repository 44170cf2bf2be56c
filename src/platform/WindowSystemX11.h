#pragma once

#include "WindowSystem.h"

#include <memory>

namespace platform {

// The window helpers on X11, over their own xcb connection (window ids are global to
// the display, so they are the same as Qt's). With a window manager the EWMH way is
// taken (_NET_CLIENT_LIST, _NET_ACTIVE_WINDOW, _NET_WM_STATE_ABOVE); without one
// (a bare Xvfb) the windows are found among the root's children and raised directly.
class X11WindowSystem : public WindowSystem {
public:
    // nullptr when no display can be opened.
    static std::unique_ptr<X11WindowSystem> open(const char* displayName = nullptr);
    ~X11WindowSystem() override;

    std::uint32_t findWindow(const QString& title) override;
    void setForeground(std::uint32_t window) override;
    void setTopMost(std::uint32_t window) override;
    void setSkipTaskbar(std::uint32_t window) override;

    // The title a top-level window shows (_NET_WM_NAME, else WM_NAME).
    QString windowTitle(std::uint32_t window);
    // Whether the window's _NET_WM_STATE asks to be left out of the task bar.
    bool skipsTaskbar(std::uint32_t window);

private:
    void addWindowState(std::uint32_t window, std::uint32_t state);

    struct Impl;
    explicit X11WindowSystem(std::unique_ptr<Impl> impl);
    std::unique_ptr<Impl> d;
};

} // namespace platform
