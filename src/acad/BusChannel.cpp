#include "BusChannel.h"

#include "acad/DBusBackend.h"
#include "platform/VbError.h"
#include "platform/VbErrorText.h"

#include <QDBusArgument>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusVariant>

namespace acad {
namespace {

// Qt hands variants and object paths over wrapped; callers want the plain value.
QVariant unwrap(const QVariant& v) {
    if (v.userType() == qMetaTypeId<QDBusVariant>())
        return unwrap(qvariant_cast<QDBusVariant>(v).variant());
    if (v.userType() == qMetaTypeId<QDBusObjectPath>())
        return qvariant_cast<QDBusObjectPath>(v).path();
    if (v.userType() == qMetaTypeId<QDBusArgument>()) {
        const auto arg = qvariant_cast<QDBusArgument>(v);
        if (arg.currentSignature() == QLatin1String("as"))
            return qdbus_cast<QStringList>(arg);
    }
    return v;
}

} // namespace

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
        value = unwrap(value);
    return values;
}

} // namespace acad
