#pragma once

#include "automation/AutomationWire.h"
#include "automation/WireSocket.h"

#include <QByteArray>
#include <QObject>
#include <QString>
#include <chrono>
#include <functional>
#include <vector>

class QSocketNotifier;
class QTimer;

namespace cadhost::dbus {

class PrivateAutomationConnection;

// The host's private automation socket (see automation/): the objects the bus serves,
// answered without the bus daemon and the bus library's thread hand-offs in between.
// Only processes of the user who runs the host are let in.
//
// Replies are never waited for: each connection queues what its client has not read
// yet, so that a client that stops reading costs only itself its answers, never the
// host its window, the bus or its other clients.
class PrivateAutomationServer : public QObject {
    Q_OBJECT
public:
    // The object at a bus path, or null.
    using Resolver = std::function<QObject*(const QString& path)>;

    struct Limits {
        // The viewer holds one connection per running session and a user runs a few;
        // this leaves room for scripts beside them, while a flood of connections cannot
        // use up the host's descriptors and memory. A client that comes when all are
        // taken is let in all the same: the connection that has been idle longest makes
        // room, so that connections left open can never lock a new client out.
        static constexpr int kMaxConnections = 32;
        // A connection that has neither called nor taken a reply for this long is
        // closed; its client connects anew, or takes the bus, when it next calls.
        static constexpr std::chrono::milliseconds kIdleClient{30 * 60 * 1000};
        // A client with this much of its replies unread is not served further until it
        // reads: its requests wait in the socket, where they cost the host nothing.
        static constexpr qsizetype kPauseReadingAbove = 1024 * 1024;
        // Beyond this a client is dropped. Serving stops at the pause above, so only a
        // single reply larger than any the members give (a few thousand layer names
        // are well under a megabyte) gets here.
        static constexpr qsizetype kMaxQueuedBytes = 32 * 1024 * 1024;
        // A client whose waiting replies do not move for this long has stopped reading
        // for good and is dropped, freeing its place and its queue.
        static constexpr std::chrono::milliseconds kStalledClient{15000};

        int maxConnections = kMaxConnections;
        qsizetype pauseReadingAbove = kPauseReadingAbove;
        qsizetype maxQueuedBytes = kMaxQueuedBytes;
        std::chrono::milliseconds stalledClient = kStalledClient;
        std::chrono::milliseconds idleClient = kIdleClient;
    };

    explicit PrivateAutomationServer(Resolver resolver, QObject* parent = nullptr);
    PrivateAutomationServer(Resolver resolver, Limits limits, QObject* parent = nullptr);

    // Opens an abstract socket (gone with the process however it ends); false, with
    // the reason in errorString(), when it cannot.
    bool listen();
    QString address() const { return m_address; }
    QString errorString() const { return m_error; }
    int connectionCount() const { return int(m_connections.size()); }

signals:
    // A client's batch of calls has been answered.
    void callsServed();

private:
    void acceptClients();
    void dropLongestIdle();

    Resolver m_resolver;
    Limits m_limits;
    acadwire::WireSocket m_listener;
    QSocketNotifier* m_notifier = nullptr;
    QString m_address;
    QString m_error;
    std::vector<PrivateAutomationConnection*> m_connections; // open ones, oldest first
};

// One client's conversation. Calls are served in the main thread, where the model
// lives; after each batch the connection may keep listening for a moment before it
// hands back to the event loop, for as long as this client's next call has lately been
// quick to follow (see acadwire::SpinGovernor).
class PrivateAutomationConnection : public QObject {
    Q_OBJECT
public:
    PrivateAutomationConnection(acadwire::WireSocket socket,
                                PrivateAutomationServer::Resolver resolver,
                                const PrivateAutomationServer::Limits& limits, QObject* parent);

    // When the client last called or took a reply.
    std::chrono::steady_clock::time_point lastActive() const { return m_lastActive; }
    // Ends the conversation; the object goes once control is back in the event loop.
    void close();

signals:
    void callsServed();
    // Emitted once, when the connection starts to close.
    void closing();

private:
    void serve();
    // Every complete call received so far, while the client's unread replies stay below
    // the pause; false when the stream is unusable or the client is to be dropped.
    bool serveReceived(int& served);
    // Hands the socket what it takes now; false when the client is gone.
    bool flush();
    void writable();
    bool paused() const;
    void updateNotifiers();
    void idleCheck();

    acadwire::WireSocket m_socket;
    PrivateAutomationServer::Resolver m_resolver;
    PrivateAutomationServer::Limits m_limits;
    acadwire::FrameReader m_reader;
    QSocketNotifier* m_notifier = nullptr;
    QSocketNotifier* m_writeNotifier = nullptr;
    QTimer* m_stall = nullptr;
    QTimer* m_idle = nullptr;
    std::chrono::steady_clock::time_point m_lastActive;
    QByteArray m_out;
    qsizetype m_outSent = 0;
    bool m_peerClosed = false;
    bool m_framesLeft = false; // requests read but held back while the client was behind
    bool m_closing = false;
    acadwire::SpinGovernor m_spin;
    bool m_awaitingNext = false; // a batch was answered and the client has not spoken since
    std::chrono::steady_clock::time_point m_answeredAt;
};

} // namespace cadhost::dbus
