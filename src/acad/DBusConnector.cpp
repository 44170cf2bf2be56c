#include "DBusConnector.h"

#include "AcadLog.h"
#include "BusChannel.h"
#include "DBusBackend.h"
#include "FailFastChannel.h"
#include "PrivateChannel.h"
#include "platform/VbError.h"
#include "platform/VbErrorText.h"

#include <QDBusConnectionInterface>
#include <QDBusMessage>

namespace acad {
namespace {

// What VB's GetObject/CreateObject raise when the class cannot be reached.
platform::AutomationError cannotCreate(const QString& detail) {
    qCDebug(lcAcad) << "cannot reach the CAD:" << detail;
    return platform::automationError(platform::vberr::CannotCreateObject);
}

const QString kBusService = QStringLiteral("org.freedesktop.DBus");
const QString kBusPath = QStringLiteral("/org/freedesktop/DBus");
const QString kBusInterface = QStringLiteral("org.freedesktop.DBus");

} // namespace

DBusConnector::DBusConnector(QDBusConnection bus, QString serviceName)
    : m_bus(std::move(bus)), m_serviceName(std::move(serviceName)) {}

QString DBusConnector::ownerOrThrow() {
    if (!m_bus.isConnected())
        throw cannotCreate(QStringLiteral("no session bus: ") + m_bus.lastError().message());
    QDBusMessage msg = QDBusMessage::createMethodCall(kBusService, kBusPath, kBusInterface,
                                                      QStringLiteral("GetNameOwner"));
    msg.setArguments({m_serviceName});
    const QDBusMessage reply = m_bus.call(msg, QDBus::Block, dbustimeout::kCallMs);
    if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty())
        throw cannotCreate(reply.errorMessage());
    return reply.arguments().first().toString();
}

std::shared_ptr<AutomationChannel> DBusConnector::channelTo(const QString& owner) {
    // A road that failed stays failed for the backends that hold it; a new session (the
    // next refresh) takes a new one, so a CAD that answers again is reached again.
    // A direct road the host closed while it was idle is taken anew, before a call
    // fails on it.
    auto direct = m_direct.value(owner).lock();
    auto reused = m_channels.value(owner).lock();
    if (reused && !reused->hasFailed() && !(direct && direct->peerGone())) {
        if (direct)
            direct->setStallLimit(std::chrono::milliseconds(m_timeouts.callMs));
        return reused;
    }
    m_direct.remove(owner);
    auto bus = std::make_shared<BusChannel>(m_bus, owner);
    std::shared_ptr<AutomationChannel> road = bus;
    QString address;
    try {
        address =
            bus->call(QString::fromLatin1(acadbus::kApplicationPath),
                      QStringLiteral("org.freedesktop.DBus.Properties"), QStringLiteral("Get"),
                      {QString::fromLatin1(acadbus::kApplicationInterface),
                       QStringLiteral("PeerAddress")},
                      m_timeouts.callMs)
                .value(0)
                .toString();
    } catch (const platform::AutomationError&) {
        // A host without the property: the bus serves.
    }
    if (!address.isEmpty()) {
        QString error;
        if (std::shared_ptr<PrivateChannel> direct = PrivateChannel::open(address, &error)) {
            qCDebug(lcAcad) << "direct connection to" << owner << "at" << address;
            direct->setStallLimit(std::chrono::milliseconds(m_timeouts.callMs));
            m_direct.insert(owner, direct);
            road = direct;
        } else {
            qCDebug(lcAcad) << "no direct connection to" << address << ":" << error
                            << "- calls go through the bus";
        }
    }
    // Every backend of this host shares the one road, and with it the knowledge that
    // the host stopped answering.
    auto shared = std::make_shared<FailFastChannel>(road);
    m_channels.insert(owner, shared);
    return shared;
}

std::shared_ptr<ApplicationBackend> DBusConnector::attach() {
    const QString owner = ownerOrThrow();
    qCDebug(lcAcad) << "attached to" << m_serviceName << "at" << owner;
    return std::make_shared<DBusApplicationBackend>(channelTo(owner), m_timeouts);
}

std::shared_ptr<ApplicationBackend> DBusConnector::create() {
    if (!m_bus.isConnected())
        throw cannotCreate(QStringLiteral("no session bus"));
    // The bus answers once the started host owns the name, or fails when there is no
    // service file or the host exits first; our timeout covers a host that hangs.
    QDBusMessage msg = QDBusMessage::createMethodCall(kBusService, kBusPath, kBusInterface,
                                                      QStringLiteral("StartServiceByName"));
    msg.setArguments({m_serviceName, 0u});
    const QDBusMessage reply = m_bus.call(msg, QDBus::Block, kStartTimeoutMs);
    if (reply.type() != QDBusMessage::ReplyMessage)
        throw cannotCreate(reply.errorName() + QStringLiteral(": ") + reply.errorMessage());
    // "Already running" (2) also counts: a host that came up meanwhile is a host.
    const QString owner = ownerOrThrow();
    qCDebug(lcAcad) << "started" << m_serviceName << "at" << owner;
    return std::make_shared<DBusApplicationBackend>(channelTo(owner), m_timeouts);
}

} // namespace acad
