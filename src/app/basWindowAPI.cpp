#include "basWindowAPI.h"

#include "platform/WindowSystem.h"

namespace basWindowAPI {

std::uint32_t pu_fun_lnFindWindow(const QString& sClassName, const QString& sWindowName) {
    Q_UNUSED(sClassName);
    return platform::WindowSystem::instance().findWindow(sWindowName);
}

void pu_subSetForeground(std::uint32_t lnHwnd) {
    if (lnHwnd != 0)
        platform::WindowSystem::instance().setForeground(lnHwnd);
}

void pu_subSetTopMost(std::uint32_t lnHwnd) {
    if (lnHwnd != 0)
        platform::WindowSystem::instance().setTopMost(lnHwnd);
}

} // namespace basWindowAPI
