#include "CallWait.h"

#include <QFile>

namespace acad::CallWait {

namespace {
Pump& installed() {
    static Pump pump;
    return pump;
}
} // namespace

Scope::Scope(Pump pump) : m_previous(std::move(installed())) {
    installed() = std::move(pump);
}

Scope::~Scope() {
    installed() = std::move(m_previous);
}

void pump() {
    if (installed())
        installed()();
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
