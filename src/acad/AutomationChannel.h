#pragma once

#include <QString>
#include <QVariantList>

namespace acad {

// The road the automation calls of one host travel: the bus, or the host's private
// socket. Both carry the same calls to the same objects (path, interface, member,
// arguments as the bus interface types them) and give back plain values.
class AutomationChannel {
public:
    virtual ~AutomationChannel() = default;

    // The reply's values, without the bus's wrappers (variants and object paths come
    // back as their contents). A failure is thrown as platform::AutomationError: the
    // host's own number, or a number for the connection's failure (dbuserr).
    virtual QVariantList call(const QString& path, const QString& interface, const QString& member,
                              const QVariantList& arguments, int timeoutMs) = 0;

    // True for the private socket, false for the bus.
    virtual bool isDirect() const = 0;

    // Whether the host stopped answering on this road; throwIfFailed() raises the
    // failure that ended the conversation. A road that never fails has neither.
    virtual bool hasFailed() const { return false; }
    virtual void throwIfFailed() const {}
};

} // namespace acad
