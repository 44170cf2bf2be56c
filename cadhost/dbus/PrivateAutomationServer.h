#pragma once

#include "automation/AutomationWire.h"
#include "automation/WireSocket.h"

#include <QObject>
#include <QString>
#include <functional>

class QSocketNotifier;

namespace cadhost::dbus {

// The host's private automation socket (see automation/): the objects the bus serves,
// answered without the bus daemon and the bus library's thread hand-offs in between.
// Only processes of the user who runs the host are let in.
class PrivateAutomationServer : public QObject {
    Q_OBJECT
public:
    // The object at a bus path, or null.
    using Resolver = std::function<QObject*(const QString& path)>;

    explicit PrivateAutomationServer(Resolver resolver, QObject* parent = nullptr);

    // Opens an abstract socket (gone with the process however it ends); false, with
    // the reason in errorString(), when it cannot.
    bool listen();
    QString address() const { return m_address; }
    QString errorString() const { return m_error; }

signals:
    // A client's batch of calls has been answered.
    void callsServed();

private:
    void acceptClients();

    Resolver m_resolver;
    acadwire::WireSocket m_listener;
    QSocketNotifier* m_notifier = nullptr;
    QString m_address;
    QString m_error;
};

// One client's conversation. Calls are served in the main thread, where the model
// lives; after each batch the connection keeps listening for a moment before it hands
// back to the event loop, since the next call of a busy client is usually already on
// its way.
class PrivateAutomationConnection : public QObject {
    Q_OBJECT
public:
    PrivateAutomationConnection(acadwire::WireSocket socket,
                                PrivateAutomationServer::Resolver resolver, QObject* parent);

signals:
    void callsServed();

private:
    void serve();
    // Every complete call received so far; false when the stream is unusable.
    bool serveReceived(int& served);
    void close();

    acadwire::WireSocket m_socket;
    PrivateAutomationServer::Resolver m_resolver;
    acadwire::FrameReader m_reader;
    QSocketNotifier* m_notifier = nullptr;
};

} // namespace cadhost::dbus
