#pragma once

#include <QString>
#include <functional>

namespace acad {

// The small status window the user sees while the CAD starts. The window belongs to the
// application; the connection only says what to show and when to close it, so the CAD
// link needs no window code of its own. Until the application hands one in, starting
// the CAD shows nothing.
struct StatusWindow {
    std::function<void(const QString& message)> show;
    std::function<void()> unload;
};

const StatusWindow& statusWindow();
void setStatusWindow(StatusWindow window);
void resetStatusWindow();

} // namespace acad
