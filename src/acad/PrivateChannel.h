#pragma once

#include "acad/AutomationChannel.h"
#include "acad/DBusBackend.h"
#include "automation/AutomationWire.h"
#include "automation/WireSocket.h"

#include <chrono>
#include <memory>

namespace acad {

// Calls on the host's private socket (its PeerAddress). The socket belongs to one host
// process: when that process ends, every call fails as "server unavailable" and no
// other host can take its place.
class PrivateChannel : public AutomationChannel {
public:
    // Null, with the reason, when the address cannot be reached.
    static std::shared_ptr<PrivateChannel> open(const QString& address, QString* error = nullptr);

    QVariantList call(const QString& path, const QString& interface, const QString& member,
                      const QVariantList& arguments, int timeoutMs) override;
    bool isDirect() const override { return true; }
    // Whether the host has closed its end while no call was made (it lets connections
    // that stay idle go, and the longest idle one when it is full), without waiting.
    bool peerGone();

    // How long a stopped host is waited for, whatever the call's own timeout: the
    // ordinary call timeout, as a host that does not answer a small call is given up on.
    void setStallLimit(std::chrono::milliseconds limit) { m_stallLimit = limit; }

private:
    explicit PrivateChannel(acadwire::WireSocket socket);
    // The reply to call number `serial`; replies to calls that timed out are skipped.
    acadwire::Reply awaitReply(quint32 serial, std::chrono::steady_clock::time_point deadline);

    acadwire::WireSocket m_socket;
    acadwire::FrameReader m_reader;
    quint32 m_lastSerial = 0;
    acadwire::SpinGovernor m_spin;
    bool m_gone = false;
    long m_peerPid = 0;
    std::chrono::milliseconds m_stallLimit{dbustimeout::kCallMs};
};

} // namespace acad
