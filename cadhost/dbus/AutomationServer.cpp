#include "cadhost/dbus/AutomationServer.h"

#include "cadhost/dbus/ApplicationObject.h"
#include "cadhost/dbus/DocumentObject.h"
#include "cadhost/model/CadApplication.h"

#include <QCoreApplication>
#include <QDBusConnectionInterface>
#include <QDBusError>
#include <QDBusServer>
#include <QDir>
#include <QRandomGenerator>
#include <QStandardPaths>

namespace cadhost::dbus {

namespace {
constexpr QDBusConnection::RegisterOptions kExport =
    QDBusConnection::ExportScriptableSlots | QDBusConnection::ExportScriptableProperties;
}

AutomationServer::AutomationServer(CadApplication* application, QDBusConnection connection,
                                   QObject* parent)
    : QObject(parent), m_application(application), m_connection(std::move(connection)) {}

AutomationServer::~AutomationServer() {
    for (QDBusConnection& connection : connections()) {
        for (DocumentObject* object : std::as_const(m_documents))
            connection.unregisterObject(object->property("busPath").toString());
        connection.unregisterObject(QStringLiteral("/Application"));
    }
    for (const QDBusConnection& peer : std::as_const(m_peers))
        QDBusConnection::disconnectFromPeer(peer.name());
}

QList<QDBusConnection> AutomationServer::connections() {
    // A client that went away leaves a dead connection behind: let it go.
    for (qsizetype i = m_peers.size() - 1; i >= 0; --i) {
        if (!m_peers[i].isConnected()) {
            QDBusConnection::disconnectFromPeer(m_peers[i].name());
            m_peers.removeAt(i);
        }
    }
    QList<QDBusConnection> all;
    if (m_connection.isConnected())
        all << m_connection;
    all << m_peers;
    return all;
}

QString AutomationServer::peerAddress() const {
    return m_peerServer && m_peerServer->isConnected() ? m_peerServer->address() : QString();
}

void AutomationServer::startPeerServer() {
    // An abstract socket where the system has them: it goes with the process however
    // that ends, so a killed host leaves no socket file behind. Otherwise a socket in
    // the user's private runtime folder. Either way the bus's authentication admits only
    // the user who runs the host.
    QStringList addresses;
#ifdef Q_OS_LINUX
    addresses << QStringLiteral("unix:abstract=korvel-cadhost-%1-%2")
                     .arg(QCoreApplication::applicationPid())
                     .arg(QRandomGenerator::global()->generate(), 8, 16, QLatin1Char('0'));
#endif
    QString folder = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    if (folder.isEmpty() || !QDir(folder).exists())
        folder = QDir::tempPath();
    addresses << QStringLiteral("unix:dir=") + folder;
    QDBusServer* server = nullptr;
    for (const QString& address : std::as_const(addresses)) {
        server = new QDBusServer(address, this);
        if (server->isConnected())
            break;
        qWarning("cadhost: no private automation address %s: %s", qPrintable(address),
                 qPrintable(server->lastError().message()));
        delete server;
        server = nullptr;
    }
    if (!server)
        return;
    m_peerServer = server;
    // The new connection dispatches nothing until this returns, so a client's first
    // call finds every object in place.
    connect(server, &QDBusServer::newConnection, this, &AutomationServer::acceptPeer);
    m_appObject->setPeerAddress(server->address());
}

void AutomationServer::acceptPeer(const QDBusConnection& connection) {
    QDBusConnection peer = connection;
    peer.registerObject(QStringLiteral("/Application"), m_appObject, kExport);
    for (DocumentObject* object : std::as_const(m_documents))
        peer.registerObject(object->property("busPath").toString(), object, kExport);
    connections(); // drops peers that have gone meanwhile
    m_peers << peer;
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
    if (!m_connection.registerObject(QStringLiteral("/Application"), m_appObject, kExport)) {
        m_error = QStringLiteral("cannot register /Application");
        return false;
    }
    for (int i = 0; i < m_application->documentCount(); ++i)
        registerDocument(m_application->document(i));
    connect(m_application, &CadApplication::documentAdded, this,
            &AutomationServer::registerDocument);
    connect(m_application, &CadApplication::documentClosed, this,
            &AutomationServer::unregisterDocument);
    startPeerServer();

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
    const QString path =
        ApplicationObject::documentPath(m_application->documentNumber(drawing)).path();
    object->setProperty("busPath", path);
    m_documents.insert(drawing, object);
    for (QDBusConnection& connection : connections())
        connection.registerObject(path, object, kExport);
}

void AutomationServer::unregisterDocument(Drawing* drawing) {
    DocumentObject* object = m_documents.take(drawing);
    if (!object)
        return;
    // The number is gone from the application by now; the object kept its path.
    const QString path = object->property("busPath").toString();
    if (!path.isEmpty())
        for (QDBusConnection& connection : connections())
            connection.unregisterObject(path);
    object->deleteLater();
}

} // namespace cadhost::dbus
