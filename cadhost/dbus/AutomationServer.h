#pragma once

#include "automation/BusNames.h"

#include <QDBusConnection>
#include <QHash>
#include <QList>
#include <QObject>
#include <QString>

namespace cadhost {
class CadApplication;
class Drawing;
} // namespace cadhost

namespace cadhost::dbus {

class ApplicationObject;
class DocumentObject;
class PrivateAutomationServer;

// Puts the application and each of its documents on a bus and keeps the document
// objects in step as drawings are opened, added and closed.
class AutomationServer : public QObject {
    Q_OBJECT
public:
    static constexpr const char* kServiceName = acadbus::kServiceName;

    AutomationServer(CadApplication* application, QDBusConnection connection,
                     QObject* parent = nullptr);
    ~AutomationServer() override;

    // Registers the objects, then claims the bus name (last, so that a client woken by
    // the name finds every object in place). False, with errorString(), when the bus
    // refuses: the name may belong to another host.
    bool start();
    QString errorString() const { return m_error; }

    // The private socket the same objects answer on (see PrivateAutomationServer), so
    // that a client making thousands of calls saves the bus's hand-offs on each.
    // Empty when no such socket could be opened; the bus serves alone then.
    QString peerAddress() const;

    // The connection the host serves on: the bus that started it by activation
    // (DBUS_STARTER_ADDRESS), otherwise the session bus.
    static QDBusConnection hostConnection();

signals:
    // A batch of calls on the private socket has been answered; the window can let a
    // repaint wait while a client is still busy with the drawing.
    void callsServed();

private:
    void registerDocument(Drawing* drawing);
    void unregisterDocument(Drawing* drawing);
    void startPrivateServer();
    QObject* objectAt(const QString& path) const;

    CadApplication* m_application;
    QDBusConnection m_connection;
    ApplicationObject* m_appObject = nullptr;
    QHash<Drawing*, DocumentObject*> m_documents;
    QHash<QString, QObject*> m_objectsByPath;
    PrivateAutomationServer* m_privateServer = nullptr;
    QString m_error;
};

} // namespace cadhost::dbus
