#pragma once

#include <QDBusConnection>
#include <QHash>
#include <QObject>
#include <QString>

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

    // The connection the host serves on: the bus that started it by activation
    // (DBUS_STARTER_ADDRESS), otherwise the session bus.
    static QDBusConnection hostConnection();

private:
    void registerDocument(Drawing* drawing);
    void unregisterDocument(Drawing* drawing);

    CadApplication* m_application;
    QDBusConnection m_connection;
    ApplicationObject* m_appObject = nullptr;
    QHash<Drawing*, DocumentObject*> m_documents;
    QString m_error;
};

} // namespace cadhost::dbus
