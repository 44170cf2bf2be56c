#include "WireSocket.h"

#include "AutomationWire.h"

#include <QFile>
#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <sched.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <thread>
#include <unistd.h>

namespace acadwire {
namespace {

// The socket address of "unix:abstract=NAME" / "unix:path=FILE", with its length.
bool socketAddress(const QString& address, sockaddr_un& out, socklen_t& length, QString* error) {
    static const QString abstractPrefix = QStringLiteral("unix:abstract=");
    static const QString pathPrefix = QStringLiteral("unix:path=");
    std::memset(&out, 0, sizeof out);
    out.sun_family = AF_UNIX;
    QByteArray name;
    bool isAbstract = false;
    if (address.startsWith(abstractPrefix)) {
        name = address.mid(abstractPrefix.size()).toUtf8();
        isAbstract = true;
    } else if (address.startsWith(pathPrefix)) {
        name = QFile::encodeName(address.mid(pathPrefix.size()));
    }
    // One byte of sun_path goes to the abstract marker or the terminating zero.
    if (name.isEmpty() || name.contains('\0') ||
        std::size_t(name.size()) + 1 > sizeof out.sun_path) {
        if (error)
            *error = QStringLiteral("not a local socket address: %1").arg(address);
        return false;
    }
    std::memcpy(out.sun_path + (isAbstract ? 1 : 0), name.constData(), std::size_t(name.size()));
    length = socklen_t(offsetof(sockaddr_un, sun_path) + std::size_t(name.size()) + 1);
    if (!isAbstract)
        length = sizeof out;
    return true;
}

int newSocket() {
    return ::socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
}

QString systemError() {
    return QString::fromLocal8Bit(std::strerror(errno));
}

} // namespace

WireSocket& WireSocket::operator=(WireSocket&& other) noexcept {
    if (this != &other) {
        if (m_fd >= 0)
            ::close(m_fd);
        m_fd = other.release();
    }
    return *this;
}

WireSocket::~WireSocket() {
    if (m_fd >= 0)
        ::close(m_fd);
}

int WireSocket::release() {
    const int fd = m_fd;
    m_fd = -1;
    return fd;
}

WireSocket WireSocket::listen(const QString& address, QString* error) {
    sockaddr_un where{};
    socklen_t length = 0;
    if (!socketAddress(address, where, length, error))
        return {};
    WireSocket socket(newSocket());
    if (!socket.isValid() ||
        ::bind(socket.fd(), reinterpret_cast<sockaddr*>(&where), length) != 0 ||
        ::listen(socket.fd(), 8) != 0) {
        if (error)
            *error = systemError();
        return {};
    }
    return socket;
}

WireSocket WireSocket::connect(const QString& address, QString* error) {
    sockaddr_un where{};
    socklen_t length = 0;
    if (!socketAddress(address, where, length, error))
        return {};
    // Connected while still blocking: a local connect either succeeds or fails at once.
    WireSocket socket(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0));
    if (!socket.isValid() ||
        ::connect(socket.fd(), reinterpret_cast<sockaddr*>(&where), length) != 0) {
        if (error)
            *error = systemError();
        return {};
    }
    const int flags = ::fcntl(socket.fd(), F_GETFL);
    if (flags < 0 || ::fcntl(socket.fd(), F_SETFL, flags | O_NONBLOCK) != 0) {
        if (error)
            *error = systemError();
        return {};
    }
    return socket;
}

WireSocket WireSocket::accept() {
    for (;;) {
        WireSocket client(::accept4(m_fd, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC));
        if (!client.isValid())
            return {};
        ucred credentials{};
        socklen_t size = sizeof credentials;
        if (::getsockopt(client.fd(), SOL_SOCKET, SO_PEERCRED, &credentials, &size) == 0 &&
            credentials.uid == ::getuid())
            return client;
        // Another user's process: closed here, and the next one is looked at.
    }
}

WireSocket::ReadResult WireSocket::readAvailable(FrameReader& reader) {
    char chunk[16384];
    ReadResult result = ReadResult::Nothing;
    for (;;) {
        const ssize_t got = ::recv(m_fd, chunk, sizeof chunk, 0);
        if (got > 0) {
            reader.append(chunk, got);
            result = ReadResult::Data;
            if (std::size_t(got) < sizeof chunk)
                return result;
            continue;
        }
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0 && (errno == EAGAIN || errno == EWOULDBLOCK))
            return result;
        // The peer closed, or the connection broke: what arrived before still counts.
        return result == ReadResult::Data ? result : ReadResult::Closed;
    }
}

bool WireSocket::writeAll(const QByteArray& bytes, std::chrono::steady_clock::time_point deadline) {
    qsizetype sent = 0;
    while (sent < bytes.size()) {
        const ssize_t put =
            ::send(m_fd, bytes.constData() + sent, std::size_t(bytes.size() - sent), MSG_NOSIGNAL);
        if (put > 0) {
            sent += put;
            continue;
        }
        if (put < 0 && errno == EINTR)
            continue;
        if (put < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                deadline - std::chrono::steady_clock::now());
            if (left.count() <= 0)
                return false;
            pollfd wanted{m_fd, POLLOUT, 0};
            if (::poll(&wanted, 1, int(std::min<long long>(left.count(), 60000))) < 0 &&
                errno != EINTR)
                return false;
            continue;
        }
        return false;
    }
    return true;
}

qsizetype WireSocket::writeSome(const char* data, qsizetype size) {
    for (;;) {
        const ssize_t put = ::send(m_fd, data, std::size_t(size), MSG_NOSIGNAL | MSG_DONTWAIT);
        if (put >= 0)
            return put;
        if (errno == EINTR)
            continue;
        if (errno == EAGAIN || errno == EWOULDBLOCK)
            return 0;
        return -1;
    }
}

bool WireSocket::waitReadable(std::chrono::steady_clock::time_point deadline) {
    for (;;) {
        const auto left = std::chrono::ceil<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0)
            return false;
        pollfd wanted{m_fd, POLLIN, 0};
        const int ready = ::poll(&wanted, 1, int(std::min<long long>(left.count(), 60000)));
        if (ready > 0)
            return true;
        if (ready < 0 && errno != EINTR)
            return true; // let the read report what is wrong
    }
}

void spinPause() {
    ::sched_yield();
}

std::chrono::microseconds SpinGovernor::nextSpin() {
    if (!spinningHelps())
        return std::chrono::microseconds{0};
    const auto wanted = 2 * m_typicalGap;
    if (wanted <= kMaxSpin)
        return std::max(wanted, std::chrono::microseconds{20});
    if (++m_sinceProbe < kProbeEvery)
        return std::chrono::microseconds{0};
    m_sinceProbe = 0;
    return kMaxSpin;
}

void SpinGovernor::answered(std::chrono::steady_clock::duration gap) {
    const auto micros = std::clamp(std::chrono::duration_cast<std::chrono::microseconds>(gap),
                                   std::chrono::microseconds{0}, 8 * kMaxSpin);
    m_typicalGap = (7 * m_typicalGap + micros) / 8;
}

bool spinningHelps() {
    static const bool helps = std::thread::hardware_concurrency() >= 2;
    return helps;
}

} // namespace acadwire
