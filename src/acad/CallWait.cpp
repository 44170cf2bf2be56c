#include "CallWait.h"

#include <QFile>

#include <chrono>

namespace acad::CallWait {

namespace {
using Clock = std::chrono::steady_clock;

Pump& installed() {
    static Pump pump;
    return pump;
}
Clock::time_point lastPumped;
bool pumping = false;

class Pumping {
public:
    Pumping() { pumping = true; }
    ~Pumping() {
        pumping = false;
        lastPumped = Clock::now();
    }
    Pumping(const Pumping&) = delete;
    Pumping& operator=(const Pumping&) = delete;
};
} // namespace

Scope::Scope(Pump pump) : m_previous(std::move(installed())) {
    installed() = std::move(pump);
    lastPumped = Clock::now();
}

Scope::~Scope() {
    installed() = std::move(m_previous);
}

void pump() {
    if (!installed() || pumping)
        return;
    Pumping running;
    // A copy: the pump may end the scope that installed it by throwing.
    const Pump current = installed();
    current();
}

void pumpIfDue() {
    if (installed() && !pumping && Clock::now() - lastPumped >= kPumpEvery)
        pump();
}

bool hasPump() {
    return bool(installed());
}

bool isStopped(long pid) {
    if (pid <= 0)
        return false;
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!stat.open(QIODevice::ReadOnly))
        return false;
    // "pid (name) S ...": the name may hold blanks and parentheses, the state follows
    // the last closing one.
    const QByteArray line = stat.readLine();
    const qsizetype close = line.lastIndexOf(')');
    if (close < 0 || close + 2 >= line.size())
        return false;
    const char state = line[close + 2];
    return state == 'T' || state == 't';
}

} // namespace acad::CallWait
