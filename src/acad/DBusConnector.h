#pragma once

#include "acad/Connector.h"
#include "acad/DBusBackend.h"
#include "automation/BusNames.h"

#include <QDBusConnection>
#include <QHash>
#include <memory>

namespace acad {

class PrivateChannel;

// Reaches the CAD on a D-Bus bus under its well-known name. Attach = the name has an
// owner; create = D-Bus activation through the bus's service files. The backends it
// returns talk to the owner's unique name, so a reference dies with the process it was
// made for: a host that vanished is reported as gone, and is never silently replaced by
// a fresh instance started through auto-activation.
//
// The host may also publish a private socket (property PeerAddress of /Application);
// the backends then make their calls there.
class DBusConnector : public Connector {
public:
    explicit DBusConnector(QDBusConnection bus = QDBusConnection::sessionBus(),
                           QString serviceName = QString::fromLatin1(acadbus::kServiceName));

    std::shared_ptr<ApplicationBackend> attach() override;
    std::shared_ptr<ApplicationBackend> create() override;

    // A CAD takes a while to come up; longer than this and the start counts as failed.
    static constexpr int kStartTimeoutMs = 30000;

    // Handed to every backend this connector makes.
    void setTimeouts(const DBusTimeouts& timeouts) { m_timeouts = timeouts; }

private:
    QString ownerOrThrow();
    // The road the backends of one host use: the host's private socket when it
    // publishes one and it answers, otherwise the bus itself. Both carry the same calls
    // to the same objects; the socket saves the bus's hand-offs on each of the
    // thousands of calls a refresh makes, and it also dies with the host, so a
    // reference still never reaches a successor. One road per host while in use.
    std::shared_ptr<AutomationChannel> channelTo(const QString& owner);

    QDBusConnection m_bus;
    QHash<QString, std::weak_ptr<AutomationChannel>> m_channels;
    // The private sockets among them: a road reused after the timeouts changed gives up
    // on a stopped host after the present call timeout, not the one it was opened with.
    QHash<QString, std::weak_ptr<PrivateChannel>> m_direct;
    QString m_serviceName;
    DBusTimeouts m_timeouts;
};

} // namespace acad
