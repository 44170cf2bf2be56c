#include "DBusConnector.h"

#include "AcadLog.h"
#include "DBusBackend.h"
#include "platform/VbError.h"
#include "platform/VbErrorText.h"

#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusVariant>

namespace acad {
namespace {

// What VB's GetObject/CreateObject raise when the class cannot be reached.
platform::AutomationError cannotCreate(const QString& detail) {
    qCDebug(lcAcad) << "cannot reach the CAD:" << detail;
    return platform::automationError(429);
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

QDBusConnection DBusConnector::connectionTo(const QString& owner) {
    QDBusMessage msg = QDBusMessage::createMethodCall(
        owner, QStringLiteral("/Application"), QStringLiteral("org.freedesktop.DBus.Properties"),
        QStringLiteral("Get"));
    msg.setArguments({QStringLiteral("AutoCAD.Application"), QStringLiteral("PeerAddress")});
    msg.setAutoStartService(false);
    const QDBusMessage reply = m_bus.call(msg, QDBus::Block, m_timeouts.callMs);
    if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty())
        return m_bus; // a host without the property: the bus serves
    const QString address =
        qvariant_cast<QDBusVariant>(reply.arguments().first()).variant().toString();
    if (address.isEmpty())
        return m_bus;
    // One connection per host process: the owner's unique name is never reused on a bus.
    const QString name = QStringLiteral("korvel-cad-peer-") + owner;
    QDBusConnection peer(name);
    if (!peer.isConnected()) {
        QDBusConnection::disconnectFromPeer(name);
        peer = QDBusConnection::connectToPeer(address, name);
    }
    if (!peer.isConnected()) {
        qCDebug(lcAcad) << "no direct connection to" << address << ":" << peer.lastError().message()
                        << "- calls go through the bus";
        QDBusConnection::disconnectFromPeer(name);
        return m_bus;
    }
    qCDebug(lcAcad) << "direct connection to" << owner << "at" << address;
    return peer;
}

std::shared_ptr<ApplicationBackend> DBusConnector::attach() {
    const QString owner = ownerOrThrow();
    qCDebug(lcAcad) << "attached to" << m_serviceName << "at" << owner;
    return std::make_shared<DBusApplicationBackend>(connectionTo(owner), owner, m_timeouts);
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
    return std::make_shared<DBusApplicationBackend>(connectionTo(owner), owner, m_timeouts);
}

} // namespace acad
