#include "BusChannel.h"

#include "acad/DBusBackend.h"
#include "automation/PlainValue.h"
#include "platform/VbError.h"
#include "platform/VbErrorText.h"

#include <QDBusMessage>

namespace acad {

BusChannel::BusChannel(QDBusConnection bus, QString service)
    : m_bus(std::move(bus)), m_service(std::move(service)) {}

QVariantList BusChannel::call(const QString& path, const QString& interface, const QString& member,
                              const QVariantList& arguments, int timeoutMs) {
    QDBusMessage msg = QDBusMessage::createMethodCall(m_service, path, interface, member);
    msg.setArguments(arguments);
    // The references are bound to one process; never let a call start a new one.
    msg.setAutoStartService(false);
    const QDBusMessage reply = m_bus.call(msg, QDBus::Block, timeoutMs);
    if (reply.type() == QDBusMessage::ErrorMessage)
        throw toAutomationError(QDBusError(reply));
    if (reply.type() != QDBusMessage::ReplyMessage)
        throw platform::automationError(dbuserr::RpcCallFailed);
    QVariantList values = reply.arguments();
    for (QVariant& value : values)
        value = acadwire::plainValue(value);
    return values;
}

} // namespace acad
