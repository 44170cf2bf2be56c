#include "StatusWindow.h"

namespace acad {
namespace {

StatusWindow& current() {
    static StatusWindow window;
    return window;
}

} // namespace

const StatusWindow& statusWindow() {
    return current();
}

void setStatusWindow(StatusWindow window) {
    current() = std::move(window);
}

void resetStatusWindow() {
    current() = {};
}

} // namespace acad
