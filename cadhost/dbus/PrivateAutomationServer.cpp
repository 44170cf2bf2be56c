#include "cadhost/dbus/PrivateAutomationServer.h"

#include "cadhost/dbus/MemberInvoker.h"

#include <QCoreApplication>
#include <QPointer>
#include <QRandomGenerator>
#include <QSocketNotifier>
#include <chrono>

namespace cadhost::dbus {
namespace {

using Clock = std::chrono::steady_clock;

// A client that stops reading its replies is dropped rather than blocking the host.
constexpr std::chrono::seconds kReplyWriteLimit{15};
// However busy the conversation, the host's own events (its window, the bus) get a turn
// at least this often.
constexpr std::chrono::milliseconds kLongestServingStretch{100};

} // namespace

PrivateAutomationServer::PrivateAutomationServer(Resolver resolver, QObject* parent)
    : QObject(parent), m_resolver(std::move(resolver)) {}

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
        auto* connection = new PrivateAutomationConnection(std::move(client), m_resolver, this);
        connect(connection, &PrivateAutomationConnection::callsServed, this,
                &PrivateAutomationServer::callsServed);
    }
}

PrivateAutomationConnection::PrivateAutomationConnection(acadwire::WireSocket socket,
                                                         PrivateAutomationServer::Resolver resolver,
                                                         QObject* parent)
    : QObject(parent), m_socket(std::move(socket)), m_resolver(std::move(resolver)) {
    m_notifier = new QSocketNotifier(m_socket.fd(), QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, &PrivateAutomationConnection::serve);
}

void PrivateAutomationConnection::serve() {
    // A member may run an event loop of its own (a message box); this connection must
    // not be served again from inside it.
    m_notifier->setEnabled(false);
    QPointer<PrivateAutomationConnection> alive(this);
    const bool spin = acadwire::spinningHelps();
    const auto started = Clock::now();
    auto listenUntil = started + acadwire::kSpinBeforeSleep;
    int served = 0;
    for (;;) {
        const auto received = m_socket.readAvailable(m_reader);
        const bool usable = serveReceived(served);
        if (!alive)
            return;
        if (!usable || received == acadwire::WireSocket::ReadResult::Closed)
            return close();
        const auto now = Clock::now();
        if (received == acadwire::WireSocket::ReadResult::Data)
            listenUntil = now + acadwire::kSpinBeforeSleep;
        if (!spin || now >= listenUntil || now - started >= kLongestServingStretch)
            break;
        acadwire::spinPause();
    }
    m_notifier->setEnabled(true);
    if (served > 0)
        emit callsServed();
}

bool PrivateAutomationConnection::serveReceived(int& served) {
    while (auto payload = m_reader.next()) {
        const auto request = acadwire::decodeRequest(*payload);
        if (!request)
            return false;
        QObject* object = m_resolver(request->path);
        const acadwire::Reply reply =
            object ? invokeMember(*object, *request)
                   : acadwire::Reply::failure(request->serial, acadwire::wireerr::MemberNotFound,
                                              QStringLiteral("no object at %1").arg(request->path));
        if (!m_socket.writeAll(acadwire::encode(reply), Clock::now() + kReplyWriteLimit))
            return false;
        ++served;
    }
    return !m_reader.broken();
}

void PrivateAutomationConnection::close() {
    m_notifier->setEnabled(false);
    deleteLater();
}

} // namespace cadhost::dbus
