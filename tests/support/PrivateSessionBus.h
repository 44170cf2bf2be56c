#pragma once

#include <QDBusConnection>
#include <QString>
#include <QTemporaryDir>
#include <memory>

class QProcess;

namespace korvel::test {

// A private D-Bus session bus for one test (or one test suite), so integration tests
// never touch the user's bus and never meet a host left over from another test.
//
//     korvel::test::PrivateSessionBus bus;          // before any QDBusConnection use
//     ASSERT_TRUE(bus.isValid()) << bus.errorString();
//     // QDBusConnection::sessionBus() and child processes now reach the private bus;
//     // calling AutoCAD.Application starts the built cadhost by D-Bus activation.
//
// The constructor starts its own dbus-daemon whose service folder is the build's
// dbus-services folder (where AutoCAD.Application.service names the built cadhost),
// and sets DBUS_SESSION_BUS_ADDRESS in this process. Create it before the first use of
// QDBusConnection::sessionBus(): Qt keeps the session connection of the first use for
// the life of the process. Where that cannot be guaranteed, use connection(), a
// connection of its own to this bus.
//
// The destructor kills every process that owns a well-known name on the bus (the
// activated cadhost, whose service outlives the daemon otherwise), then every process
// the daemon started (a host that was activated but never took its name, one left
// behind by a test that was stopped), then the daemon, and restores the previous
// DBUS_SESSION_BUS_ADDRESS. The daemon runs in a process group of its own, so what it
// starts can be found and ended even once it has been handed to another parent.
class PrivateSessionBus {
public:
    // extraServiceDir: one more folder of activatable services, for tests of the
    // fixture's own clean-up.
    explicit PrivateSessionBus(const QString& extraServiceDir = QString());
    ~PrivateSessionBus();
    PrivateSessionBus(const PrivateSessionBus&) = delete;
    PrivateSessionBus& operator=(const PrivateSessionBus&) = delete;

    bool isValid() const { return !m_address.isEmpty(); }
    QString errorString() const { return m_error; }
    QString address() const { return m_address; }

    // A connection of its own to the private bus (named uniquely per bus).
    QDBusConnection connection() const;

    // The process that owns the name, 0 when nobody does.
    qint64 ownerPid(const QString& busName) const;
    // Waits until the name has an owner (true) or the timeout passes (false).
    bool waitForOwner(const QString& busName, int timeoutMs = 10000) const;
    // Kills the owner of the name with SIGKILL and waits until the name is released:
    // for tests of a host that dies during a session.
    bool killOwner(const QString& busName, int timeoutMs = 5000) const;

    // The folder the daemon looks in for activatable services.
    static QString serviceDir();

private:
    void killNameOwners();
    void killDaemonChildren();

    QTemporaryDir m_dir;
    std::unique_ptr<QProcess> m_daemon;
    QString m_address;
    QString m_error;
    QString m_connectionName;
    QByteArray m_previousAddress;
    bool m_hadPreviousAddress = false;
};

} // namespace korvel::test
