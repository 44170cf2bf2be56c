#pragma once

#include <QString>
#include <cstdint>

// The three window helpers over the platform's window system. They trap nothing;
// failures reach the caller. Handles are X11 window ids; 0 means no window, and the
// helpers then do nothing, as the Windows calls did with a null handle.
namespace basWindowAPI {

// A top-level window whose title is exactly sWindowName, or 0. A null sClassName
// means any class; the window system matches titles only, and the one caller (the
// refresh, looking for the CAD by its caption) passes a null class.
std::uint32_t pu_fun_lnFindWindow(const QString& sClassName, const QString& sWindowName);
void pu_subSetForeground(std::uint32_t lnHwnd);
void pu_subSetTopMost(std::uint32_t lnHwnd);

} // namespace basWindowAPI
