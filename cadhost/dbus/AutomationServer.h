#pragma once

#include <QDBusConnection>
#include <QHash>
#include <QList>
#include <QObject>
#include <QString>

class QDBusServer;

namespace cadhost {
class CadApplication;
class Drawing;
} // namespace cadhost

namespace cadhost::dbus {

class ApplicationObject;
class DocumentObject;

// Puts the application and each of its documents on a bus and keeps the document
// objects in step as drawings are opened, added and closed.
class AutomationServer : public QObject {
    Q_OBJECT
public:
    static constexpr const char* kServiceName = "AutoCAD.Application";

    AutomationServer(CadApplication* application, QDBusConnection connection,
                     QObject* parent = nullptr);
    ~AutomationServer() override;

    // Registers the objects, then claims the bus name (last, so that a client woken by
    // the name finds every object in place). False, with errorString(), when the bus
    // refuses: the name may belong to another host.
    bool start();
    QString errorString() const { return m_error; }

    // The private address the same objects answer on, one connection per client, so
    // that a client making thousands of calls saves the bus daemon's two hops on each.
    // Empty when no such address could be opened; the bus serves alone then.
    QString peerAddress() const;

    // The connection the host serves on: the bus that started it by activation
    // (DBUS_STARTER_ADDRESS), otherwise the session bus.
    static QDBusConnection hostConnection();

private:
    void registerDocument(Drawing* drawing);
    void unregisterDocument(Drawing* drawing);
    void startPeerServer();
    void acceptPeer(const QDBusConnection& connection);
    // Every connection the objects are served on: the bus first, then live peers.
    QList<QDBusConnection> connections();

    CadApplication* m_application;
    QDBusConnection m_connection;
    ApplicationObject* m_appObject = nullptr;
    QHash<Drawing*, DocumentObject*> m_documents;
    QDBusServer* m_peerServer = nullptr;
    QList<QDBusConnection> m_peers;
    QString m_error;
};

} // namespace cadhost::dbus
