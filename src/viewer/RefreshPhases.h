#pragma once

#include <functional>

// Marks the phases of a refresh for whoever measures them (the benchmark); without an
// observer a mark costs one test of an empty function.
namespace RefreshPhases {

using Observer = std::function<void(const char* phase)>;
void setObserver(Observer observer);
void mark(const char* phase);

} // namespace RefreshPhases
