#include "cadhost/dbus/PrivateAutomationServer.h"

#include "cadhost/dbus/MemberInvoker.h"
#include "cadhost/model/HostLog.h"

#include <QCoreApplication>
#include <QPointer>
#include <QRandomGenerator>
#include <QSocketNotifier>
#include <QTimer>
#include <algorithm>
#include <chrono>

namespace cadhost::dbus {
namespace {

using Clock = std::chrono::steady_clock;

// However busy the conversation, the host's own events (its window, the bus) get a turn
// at least this often.
constexpr std::chrono::milliseconds kLongestServingStretch{100};
// Sent bytes are cut from the front of a connection's queue once this many pile up,
// rather than after every partial write.
constexpr qsizetype kCompactQueueAbove = 256 * 1024;

} // namespace

PrivateAutomationServer::PrivateAutomationServer(Resolver resolver, QObject* parent)
    : PrivateAutomationServer(std::move(resolver), Limits(), parent) {}

PrivateAutomationServer::PrivateAutomationServer(Resolver resolver, Limits limits, QObject* parent)
    : QObject(parent), m_resolver(std::move(resolver)), m_limits(limits) {}

bool PrivateAutomationServer::listen() {
    const QString address =
        QStringLiteral("unix:abstract=korvel-cadhost-%1-%2")
            .arg(QCoreApplication::applicationPid())
            .arg(QRandomGenerator::global()->generate64(), 16, 16, QLatin1Char('0'));
    m_listener = acadwire::WireSocket::listen(address, &m_error);
    if (!m_listener.isValid())
        return false;
    m_address = address;
    m_notifier = new QSocketNotifier(m_listener.fd(), QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, &PrivateAutomationServer::acceptClients);
    return true;
}

void PrivateAutomationServer::acceptClients() {
    for (;;) {
        acadwire::WireSocket client = m_listener.accept();
        if (!client.isValid())
            return;
        if (connectionCount() >= m_limits.maxConnections)
            dropLongestIdle();
        auto* connection =
            new PrivateAutomationConnection(std::move(client), m_resolver, m_limits, this);
        m_connections.push_back(connection);
        connect(connection, &PrivateAutomationConnection::closing, this,
                [this, connection] { std::erase(m_connections, connection); });
        connect(connection, &PrivateAutomationConnection::callsServed, this,
                &PrivateAutomationServer::callsServed);
    }
}

void PrivateAutomationServer::dropLongestIdle() {
    // The one whose client has gone longest without a word: a client at work now keeps
    // its place, one that left its connection open and walked away loses it.
    const auto longest = std::min_element(
        m_connections.begin(), m_connections.end(),
        [](const auto* a, const auto* b) { return a->lastActive() < b->lastActive(); });
    if (longest == m_connections.end())
        return;
    qCWarning(lcCadhost) << "private automation socket:" << m_limits.maxConnections
                         << "clients; the longest idle one makes room for a new one";
    (*longest)->close();
}

PrivateAutomationConnection::PrivateAutomationConnection(
    acadwire::WireSocket socket, PrivateAutomationServer::Resolver resolver,
    const PrivateAutomationServer::Limits& limits, QObject* parent)
    : QObject(parent), m_socket(std::move(socket)), m_resolver(std::move(resolver)),
      m_limits(limits) {
    m_notifier = new QSocketNotifier(m_socket.fd(), QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, &PrivateAutomationConnection::serve);
    m_writeNotifier = new QSocketNotifier(m_socket.fd(), QSocketNotifier::Write, this);
    m_writeNotifier->setEnabled(false);
    connect(m_writeNotifier, &QSocketNotifier::activated, this,
            &PrivateAutomationConnection::writable);
    m_stall = new QTimer(this);
    m_stall->setSingleShot(true);
    connect(m_stall, &QTimer::timeout, this, [this] {
        qCWarning(lcCadhost) << "private automation socket: a client stopped reading its "
                                "replies and was dropped";
        close();
    });
    // Armed for the whole span and, when it fires, again for what is left of it since the
    // client last spoke: no timer is touched for each call.
    m_lastActive = Clock::now();
    m_idle = new QTimer(this);
    m_idle->setSingleShot(true);
    connect(m_idle, &QTimer::timeout, this, &PrivateAutomationConnection::idleCheck);
    m_idle->start(m_limits.idleClient);
}

void PrivateAutomationConnection::idleCheck() {
    const auto idle = Clock::now() - m_lastActive;
    if (idle < m_limits.idleClient) {
        m_idle->start(
            std::chrono::duration_cast<std::chrono::milliseconds>(m_limits.idleClient - idle) +
            std::chrono::milliseconds(1));
        return;
    }
    qCInfo(lcCadhost) << "private automation socket: an idle client was let go";
    close();
}

bool PrivateAutomationConnection::paused() const {
    return m_out.size() - m_outSent > m_limits.pauseReadingAbove;
}

void PrivateAutomationConnection::serve() {
    if (m_closing)
        return;
    // A member may run an event loop of its own (a message box); this connection must
    // not be served again from inside it.
    m_notifier->setEnabled(false);
    m_writeNotifier->setEnabled(false);
    QPointer<PrivateAutomationConnection> alive(this);
    const auto started = Clock::now();
    // Nothing is polled for until a call has been answered: the next one follows it.
    auto listenUntil = started;
    int served = 0;
    for (;;) {
        auto received = acadwire::WireSocket::ReadResult::Nothing;
        if (!paused() && !m_peerClosed)
            received = m_socket.readAvailable(m_reader);
        if (received == acadwire::WireSocket::ReadResult::Closed)
            m_peerClosed = true;
        if (received == acadwire::WireSocket::ReadResult::Data) {
            m_lastActive = Clock::now();
            if (m_awaitingNext) {
                m_awaitingNext = false;
                m_spin.answered(m_lastActive - m_answeredAt);
            }
        }
        const int servedBefore = served;
        const bool usable = serveReceived(served);
        if (!alive)
            return;
        if (!usable) {
            flush(); // what was answered before the stream broke still goes out, if it can
            return close();
        }
        if (!flush())
            return close();
        // A client that has said all it will say is let go once it has its answers.
        if (m_peerClosed && m_out.size() == m_outSent && !m_framesLeft)
            return close();
        if (paused() || m_peerClosed)
            break;
        const auto now = Clock::now();
        // Requests held back while the client was behind are in hand already: no
        // notifier will announce them again.
        if (m_framesLeft && now - started < kLongestServingStretch)
            continue;
        if (served > servedBefore) {
            m_awaitingNext = true;
            m_answeredAt = now;
            listenUntil = now + m_spin.nextSpin();
        }
        if (now >= listenUntil || now - started >= kLongestServingStretch)
            break;
        acadwire::spinPause();
    }
    updateNotifiers();
    if (m_framesLeft && !paused())
        QMetaObject::invokeMethod(this, &PrivateAutomationConnection::serve, Qt::QueuedConnection);
    if (served > 0)
        emit callsServed();
}

bool PrivateAutomationConnection::serveReceived(int& served) {
    m_framesLeft = false;
    for (;;) {
        if (paused()) {
            m_framesLeft = true;
            break;
        }
        const auto payload = m_reader.next();
        if (!payload)
            break;
        const auto request = acadwire::decodeRequest(*payload);
        if (!request)
            return false;
        QObject* object = m_resolver(request->path);
        const acadwire::Reply reply =
            object ? invokeMember(*object, *request)
                   : acadwire::Reply::failure(request->serial, acadwire::wireerr::MemberNotFound,
                                              QStringLiteral("no object at %1").arg(request->path));
        m_out += acadwire::encode(reply);
        if (m_out.size() - m_outSent > m_limits.maxQueuedBytes) {
            qCWarning(lcCadhost) << "private automation socket: a client's unread replies"
                                 << "passed" << m_limits.maxQueuedBytes << "bytes; dropped";
            return false;
        }
        ++served;
    }
    return !m_reader.broken();
}

bool PrivateAutomationConnection::flush() {
    const qsizetype before = m_outSent;
    while (m_outSent < m_out.size()) {
        const qsizetype put =
            m_socket.writeSome(m_out.constData() + m_outSent, m_out.size() - m_outSent);
        if (put < 0)
            return false;
        if (put == 0)
            break;
        m_outSent += put;
        m_lastActive = Clock::now();
    }
    if (m_outSent == m_out.size()) {
        m_out.clear();
        m_outSent = 0;
        m_stall->stop();
        return true;
    }
    if (m_outSent > kCompactQueueAbove) {
        m_out.remove(0, m_outSent);
        m_outSent = 0;
    }
    // The stall clock runs from the last time the client took anything.
    if (m_outSent != before || !m_stall->isActive())
        m_stall->start(m_limits.stalledClient);
    return true;
}

void PrivateAutomationConnection::writable() {
    if (m_closing)
        return;
    if (!flush())
        return close();
    if (m_peerClosed && m_out.isEmpty() && !m_framesLeft)
        return close();
    // Requests left waiting while the client was behind are served now.
    if (m_framesLeft && !paused())
        return serve();
    updateNotifiers();
}

void PrivateAutomationConnection::updateNotifiers() {
    m_notifier->setEnabled(!paused() && !m_peerClosed);
    m_writeNotifier->setEnabled(m_outSent < m_out.size());
}

void PrivateAutomationConnection::close() {
    if (m_closing)
        return;
    m_closing = true;
    m_notifier->setEnabled(false);
    m_writeNotifier->setEnabled(false);
    m_stall->stop();
    m_idle->stop();
    // The socket goes now, not with the object: the client learns at once.
    m_socket = acadwire::WireSocket();
    emit closing();
    deleteLater();
}

} // namespace cadhost::dbus
