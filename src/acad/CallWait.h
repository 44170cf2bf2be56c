#pragma once

#include <chrono>
#include <functional>

// How the viewer waits for a call the CAD takes long to answer (a macro runs for
// seconds, a CAD that stopped never answers). The window must go on painting and a
// close must be able to end the wait, so while a pump is installed it runs every
// kPumpEvery, whether the time goes on one long call or on thousands of short ones;
// and a CAD whose process is stopped is given up on after the ordinary call timeout,
// however long the call itself may take.
namespace acad::CallWait {

using Pump = std::function<void()>;

// Installs the pump for as long as the scope lives. The pump runs on the thread that
// waits; it may throw to abandon the wait (the exception leaves the call as it is).
class Scope {
public:
    explicit Scope(Pump pump);
    ~Scope();
    Scope(const Scope&) = delete;
    Scope& operator=(const Scope&) = delete;

private:
    Pump m_previous;
};

// After this long without an answer a call starts asking whether the CAD is stopped.
inline constexpr std::chrono::milliseconds kQuiet{100};
// How long the window may go without its messages while calls run: well under what a
// user notices as a window that does not answer.
inline constexpr std::chrono::milliseconds kPumpEvery{16};

// Runs the pump when one is installed. A pump that is already running is not entered
// again: a message handler that calls the CAD waits without pumping.
void pump();
// Runs the pump when kPumpEvery has passed since it last ran (or since it was
// installed). Cheap enough to call before every call.
void pumpIfDue();
bool hasPump();

// True when process `pid` is stopped (SIGSTOP, a debugger): it answers nothing until it
// is continued, whatever the call's own timeout.
bool isStopped(long pid);

} // namespace acad::CallWait
