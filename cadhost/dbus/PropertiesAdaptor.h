#pragma once

#include <QDBusAbstractAdaptor>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusVariant>
#include <QVariantMap>

namespace cadhost::dbus {

// The properties of an automation object on the bus, served as the private socket
// serves them (MemberInvoker): a value of the wrong type is refused with the CAD's
// type-mismatch error. Left to the bus library, a string written to Visible was
// converted or dropped and answered as a success.
class PropertiesAdaptor : public QDBusAbstractAdaptor {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.DBus.Properties")
    // The bus library lists this interface in every object's introspection itself; an
    // adaptor's own description would list it a second time.
    Q_CLASSINFO("D-Bus Introspection", "")
public:
    // Serves the properties of parent, which owns the adaptor, on the connection.
    PropertiesAdaptor(QObject* parent, QDBusConnection connection);

    // The bus library hands an adaptor no call context of its own: each call carries its
    // message, on which a failure is answered.
public slots:
    QDBusVariant Get(const QString& interface, const QString& name, const QDBusMessage& message);
    void Set(const QString& interface, const QString& name, const QDBusVariant& value,
             const QDBusMessage& message);
    QVariantMap GetAll(const QString& interface, const QDBusMessage& message);

private:
    void fail(const QDBusMessage& message, qint32 number, const QString& description);

    QDBusConnection m_connection;
};

} // namespace cadhost::dbus
