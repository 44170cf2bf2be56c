#include "FailFastChannel.h"

#include "acad/DBusBackend.h"

namespace acad {

FailFastChannel::FailFastChannel(std::shared_ptr<AutomationChannel> inner)
    : m_inner(std::move(inner)) {}

bool FailFastChannel::isConnectionFailure(qint32 number) {
    return number == dbuserr::RpcServerUnavailable || number == dbuserr::RpcCallFailed ||
           number == dbuserr::ServerFault;
}

void FailFastChannel::throwIfFailed() const {
    if (m_failure)
        throw *m_failure;
}

QVariantList FailFastChannel::call(const QString& path, const QString& interface,
                                   const QString& member, const QVariantList& arguments,
                                   int timeoutMs) {
    throwIfFailed();
    try {
        return m_inner->call(path, interface, member, arguments, timeoutMs);
    } catch (const platform::AutomationError& error) {
        if (isConnectionFailure(error.number()))
            m_failure = error;
        throw;
    }
}

} // namespace acad
