#include "PrivateChannel.h"

#include "acad/CallWait.h"
#include "acad/DBusBackend.h"
#include "automation/PlainValue.h"
#include "platform/VbError.h"
#include "platform/VbErrorText.h"

#include <algorithm>
#include <sys/socket.h>

namespace acad {
namespace {
using Clock = std::chrono::steady_clock;
} // namespace

bool PrivateChannel::peerGone() {
    if (!m_gone && m_socket.readAvailable(m_reader) == acadwire::WireSocket::ReadResult::Closed)
        m_gone = true;
    return m_gone;
}

std::shared_ptr<PrivateChannel> PrivateChannel::open(const QString& address, QString* error) {
    acadwire::WireSocket socket = acadwire::WireSocket::connect(address, error);
    if (!socket.isValid())
        return nullptr;
    return std::shared_ptr<PrivateChannel>(new PrivateChannel(std::move(socket)));
}

PrivateChannel::PrivateChannel(acadwire::WireSocket socket) : m_socket(std::move(socket)) {
    // The host at the other end, to tell a host that is busy from one that is stopped.
    ucred peer{};
    socklen_t length = sizeof peer;
    if (::getsockopt(m_socket.fd(), SOL_SOCKET, SO_PEERCRED, &peer, &length) == 0)
        m_peerPid = peer.pid;
}

QVariantList PrivateChannel::call(const QString& path, const QString& interface,
                                  const QString& member, const QVariantList& arguments,
                                  int timeoutMs) {
    if (m_gone)
        throw platform::automationError(dbuserr::RpcServerUnavailable);
    // Before the call rather than after it: a pump that ends the wait (the window is
    // closing) then leaves no call half answered.
    CallWait::pumpIfDue();
    acadwire::Request request;
    request.serial = ++m_lastSerial;
    request.path = path;
    request.interface = interface;
    request.member = member;
    request.arguments.reserve(arguments.size());
    for (const QVariant& argument : arguments)
        request.arguments << acadwire::plainValue(argument); // the host types them again
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    if (!m_socket.writeAll(acadwire::encode(request), deadline)) {
        if (Clock::now() >= deadline)
            throw platform::automationError(dbuserr::RpcCallFailed);
        m_gone = true;
        throw platform::automationError(dbuserr::RpcServerUnavailable);
    }
    acadwire::Reply reply = awaitReply(request.serial, deadline);
    if (!reply.ok)
        throw platform::AutomationError(reply.errorNumber, reply.errorDescription);
    return std::move(reply.values);
}

acadwire::Reply PrivateChannel::awaitReply(quint32 serial, Clock::time_point deadline) {
    const auto started = Clock::now();
    const auto sleepAfter = started + m_spin.nextSpin();
    // Since when the host has been seen stopped; max() while it runs.
    auto stoppedSince = Clock::time_point::max();
    for (;;) {
        const auto received = m_socket.readAvailable(m_reader);
        while (auto payload = m_reader.next()) {
            auto reply = acadwire::decodeReply(*payload);
            if (!reply) {
                // Nothing after a garbled reply can be trusted to line up with our calls.
                m_gone = true;
                throw platform::automationError(dbuserr::ServerFault);
            }
            if (reply->serial == serial) {
                m_spin.answered(Clock::now() - started);
                return std::move(*reply);
            }
        }
        if (m_reader.broken()) {
            m_gone = true;
            throw platform::automationError(dbuserr::ServerFault);
        }
        if (received == acadwire::WireSocket::ReadResult::Closed) {
            // The call went out and the host went away without answering.
            m_gone = true;
            throw platform::automationError(dbuserr::RpcCallFailed);
        }
        if (Clock::now() < sleepAfter) {
            acadwire::spinPause();
            continue;
        }
        const auto now = Clock::now();
        if (now >= deadline)
            throw platform::automationError(dbuserr::RpcCallFailed);
        // Short slices, so that a long wait lets the window paint and notices a host
        // that was stopped: such a host answers nothing until it is continued.
        if (m_socket.waitReadable(std::min(deadline, now + CallWait::kPumpEvery)))
            continue;
        if (Clock::now() - started >= CallWait::kQuiet) {
            if (!CallWait::isStopped(m_peerPid))
                stoppedSince = Clock::time_point::max();
            else if (stoppedSince == Clock::time_point::max())
                stoppedSince = Clock::now();
            else if (Clock::now() - stoppedSince >= m_stallLimit)
                throw platform::automationError(dbuserr::RpcCallFailed);
        }
        CallWait::pumpIfDue();
    }
}

} // namespace acad
