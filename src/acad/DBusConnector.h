#pragma once

#include "acad/Connector.h"
#include "acad/DBusBackend.h"

#include <QDBusConnection>

namespace acad {

// Reaches the CAD on a D-Bus bus under its well-known name. Attach = the name has an
// owner; create = D-Bus activation through the bus's service files. The backends it
// returns talk to the owner's unique name, so a reference dies with the process it was
// made for: a host that vanished is reported as gone, and is never silently replaced by
// a fresh instance started through auto-activation.
class DBusConnector : public Connector {
public:
    explicit DBusConnector(QDBusConnection bus = QDBusConnection::sessionBus(),
                           QString serviceName = QStringLiteral("AutoCAD.Application"));

    std::shared_ptr<ApplicationBackend> attach() override;
    std::shared_ptr<ApplicationBackend> create() override;

    // A CAD takes a while to come up; longer than this and the start counts as failed.
    static constexpr int kStartTimeoutMs = 30000;

    // Handed to every backend this connector makes.
    void setTimeouts(const DBusTimeouts& timeouts) { m_timeouts = timeouts; }

private:
    QString ownerOrThrow();

    QDBusConnection m_bus;
    QString m_serviceName;
    DBusTimeouts m_timeouts;
};

} // namespace acad
