#include "cadhost/dbus/AutomationServer.h"

#include "cadhost/dbus/ApplicationObject.h"
#include "cadhost/dbus/DocumentObject.h"
#include "cadhost/dbus/PrivateAutomationServer.h"
#include "cadhost/dbus/PropertiesAdaptor.h"
#include "cadhost/model/CadApplication.h"
#include "cadhost/model/HostLog.h"

#include <QCoreApplication>
#include <QDBusConnectionInterface>
#include <QDBusError>

namespace cadhost::dbus {

namespace {
// Properties go through PropertiesAdaptor, which checks types as the private socket does.
constexpr QDBusConnection::RegisterOptions kExport = QDBusConnection::ExportScriptableSlots |
                                                     QDBusConnection::ExportScriptableProperties |
                                                     QDBusConnection::ExportAdaptors;
} // namespace

AutomationServer::AutomationServer(CadApplication* application, QDBusConnection connection,
                                   QObject* parent)
    : QObject(parent), m_application(application), m_connection(std::move(connection)) {}

AutomationServer::~AutomationServer() {
    if (!m_connection.isConnected())
        return;
    for (DocumentObject* object : std::as_const(m_documents))
        m_connection.unregisterObject(object->property("busPath").toString());
    m_connection.unregisterObject(QString::fromLatin1(acadbus::kApplicationPath));
}

QString AutomationServer::peerAddress() const {
    return m_privateServer ? m_privateServer->address() : QString();
}

QObject* AutomationServer::objectAt(const QString& path) const {
    return m_objectsByPath.value(path);
}

void AutomationServer::startPrivateServer() {
    auto* server =
        new PrivateAutomationServer([this](const QString& path) { return objectAt(path); }, this);
    if (!server->listen()) {
        qCWarning(lcCadhost) << "no private automation socket:" << server->errorString();
        delete server;
        return;
    }
    m_privateServer = server;
    m_appObject->setPeerAddress(server->address());
    connect(server, &PrivateAutomationServer::callsServed, this, &AutomationServer::callsServed);
}

QDBusConnection AutomationServer::hostConnection() {
    if (qEnvironmentVariableIsSet("DBUS_STARTER_ADDRESS"))
        return QDBusConnection::connectToBus(QDBusConnection::ActivationBus,
                                             QStringLiteral("cadhost-activation"));
    return QDBusConnection::sessionBus();
}

bool AutomationServer::start() {
    if (!m_connection.isConnected()) {
        m_error =
            QStringLiteral("not connected to a bus: %1").arg(m_connection.lastError().message());
        return false;
    }
    m_appObject = new ApplicationObject(m_application, this);
    new PropertiesAdaptor(m_appObject, m_connection);
    if (!m_connection.registerObject(QString::fromLatin1(acadbus::kApplicationPath), m_appObject,
                                     kExport)) {
        m_error = QStringLiteral("cannot register /Application");
        return false;
    }
    m_objectsByPath.insert(QString::fromLatin1(acadbus::kApplicationPath), m_appObject);
    for (int i = 0; i < m_application->documentCount(); ++i)
        registerDocument(m_application->document(i));
    connect(m_application, &CadApplication::documentAdded, this,
            &AutomationServer::registerDocument);
    connect(m_application, &CadApplication::documentClosed, this,
            &AutomationServer::unregisterDocument);
    startPrivateServer();

    if (!m_connection.registerService(QString::fromLatin1(kServiceName))) {
        m_error = QStringLiteral("cannot own the bus name %1: %2")
                      .arg(QString::fromLatin1(kServiceName), m_connection.lastError().message());
        return false;
    }
    return true;
}

void AutomationServer::registerDocument(Drawing* drawing) {
    if (m_documents.contains(drawing))
        return;
    auto* object = new DocumentObject(drawing, this);
    new PropertiesAdaptor(object, m_connection);
    const QString path =
        ApplicationObject::documentPath(m_application->documentNumber(drawing)).path();
    object->setProperty("busPath", path);
    m_documents.insert(drawing, object);
    m_objectsByPath.insert(path, object);
    m_connection.registerObject(path, object, kExport);
}

void AutomationServer::unregisterDocument(Drawing* drawing) {
    DocumentObject* object = m_documents.take(drawing);
    if (!object)
        return;
    // The number is gone from the application by now; the object kept its path.
    const QString path = object->property("busPath").toString();
    m_objectsByPath.remove(path);
    if (!path.isEmpty())
        m_connection.unregisterObject(path);
    object->deleteLater();
}

} // namespace cadhost::dbus
