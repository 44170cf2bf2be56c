#include "cadhost/dbus/PropertiesAdaptor.h"

#include "automation/AutomationWire.h"
#include "automation/PlainValue.h"
#include "cadhost/dbus/AutomationCall.h"
#include "cadhost/dbus/MemberInvoker.h"

#include <QMetaProperty>

namespace cadhost::dbus {
namespace {

const QString kPropertiesInterface = QStringLiteral("org.freedesktop.DBus.Properties");

} // namespace

PropertiesAdaptor::PropertiesAdaptor(QObject* parent, QDBusConnection connection)
    : QDBusAbstractAdaptor(parent), m_connection(std::move(connection)) {}

void PropertiesAdaptor::fail(const QDBusMessage& message, qint32 number,
                             const QString& description) {
    // The answer is this error, not the empty reply the library would send otherwise.
    message.setDelayedReply(true);
    m_connection.send(message.createErrorReply(QString::fromLatin1(kErrorName),
                                               errorMessage(number, description)));
}

QDBusVariant PropertiesAdaptor::Get(const QString& interface, const QString& name,
                                    const QDBusMessage& message) {
    acadwire::Request request;
    request.interface = kPropertiesInterface;
    request.member = QStringLiteral("Get");
    request.arguments = {interface, name};
    const acadwire::Reply reply = invokeMember(*parent(), request);
    if (!reply.ok) {
        fail(message, reply.errorNumber, reply.errorDescription);
        return {};
    }
    return QDBusVariant(reply.values.value(0));
}

void PropertiesAdaptor::Set(const QString& interface, const QString& name,
                            const QDBusVariant& value, const QDBusMessage& message) {
    acadwire::Request request;
    request.interface = kPropertiesInterface;
    request.member = QStringLiteral("Set");
    request.arguments = {interface, name, value.variant()};
    const acadwire::Reply reply = invokeMember(*parent(), request);
    if (!reply.ok)
        fail(message, reply.errorNumber, reply.errorDescription);
}

QVariantMap PropertiesAdaptor::GetAll(const QString& interface, const QDBusMessage& message) {
    const QMetaObject& meta = *parent()->metaObject();
    const int classInfo = meta.indexOfClassInfo("D-Bus Interface");
    const QString own =
        classInfo < 0 ? QString() : QString::fromLatin1(meta.classInfo(classInfo).value());
    if (!interface.isEmpty() && interface != own) {
        fail(message, acadwire::wireerr::MemberNotFound, interface);
        return {};
    }
    QVariantMap all;
    for (int i = QObject::staticMetaObject.propertyCount(); i < meta.propertyCount(); ++i) {
        const QMetaProperty property = meta.property(i);
        if (property.isScriptable() && property.isReadable())
            all.insert(QString::fromLatin1(property.name()),
                       acadwire::plainValue(property.read(parent())));
    }
    return all;
}

} // namespace cadhost::dbus
