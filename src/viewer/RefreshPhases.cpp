#include "RefreshPhases.h"

namespace RefreshPhases {
namespace {
Observer& observer() {
    static Observer o;
    return o;
}
} // namespace

void setObserver(Observer o) {
    observer() = std::move(o);
}

void mark(const char* phase) {
    if (observer())
        observer()(phase);
}

} // namespace RefreshPhases
