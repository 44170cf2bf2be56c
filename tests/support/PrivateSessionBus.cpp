#include "PrivateSessionBus.h"

#include <QCoreApplication>
#include <QDBusConnectionInterface>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QHash>
#include <QProcess>
#include <QThread>
#include <QUuid>

#include <csignal>
#include <sys/types.h>
#include <unistd.h>

#ifndef KORVEL_DBUS_SERVICE_DIR
#error "KORVEL_DBUS_SERVICE_DIR must name the build's dbus-services folder"
#endif

namespace korvel::test {

namespace {

struct ProcState {
    pid_t parent = 0;
    pid_t group = 0;
    char state = 0;
};

// "pid (comm) state ppid pgrp ...": comm may hold blanks and parentheses, so the
// fields are read after its last ')'.
bool readStat(pid_t pid, ProcState& out) {
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!stat.open(QIODevice::ReadOnly))
        return false;
    const QByteArray text = stat.readAll();
    const qsizetype close = text.lastIndexOf(')');
    if (close < 0)
        return false;
    const QList<QByteArray> fields = text.mid(close + 2).split(' ');
    if (fields.size() < 3 || fields[0].isEmpty())
        return false;
    out.state = fields[0].at(0);
    out.parent = pid_t(fields[1].toInt());
    out.group = pid_t(fields[2].toInt());
    return true;
}

// Gone, or dead and only waiting for its parent to collect it.
bool isGone(pid_t pid) {
    ProcState s;
    return !readStat(pid, s) || s.state == 'Z' || s.state == 'X';
}

// Every live process below `root` or in its process group (the group outlives a
// parent that dies, so a grandchild handed to init is still found).
QList<pid_t> processesOf(pid_t root) {
    QHash<pid_t, ProcState> all;
    const QStringList entries = QDir(QStringLiteral("/proc")).entryList(QDir::Dirs);
    for (const QString& entry : entries) {
        bool ok = false;
        const pid_t pid = pid_t(entry.toInt(&ok));
        ProcState s;
        if (ok && readStat(pid, s) && s.state != 'Z')
            all.insert(pid, s);
    }
    QList<pid_t> found;
    for (auto it = all.cbegin(); it != all.cend(); ++it)
        if (it.key() != root && it.value().group == root)
            found.append(it.key());
    for (qsizetype i = -1; i < found.size(); ++i) {
        const pid_t parent = i < 0 ? root : found[i];
        for (auto it = all.cbegin(); it != all.cend(); ++it)
            if (it.value().parent == parent && it.key() != root && !found.contains(it.key()))
                found.append(it.key());
    }
    found.removeAll(::getpid());
    return found;
}

} // namespace

QString PrivateSessionBus::serviceDir() {
    return QStringLiteral(KORVEL_DBUS_SERVICE_DIR);
}

PrivateSessionBus::PrivateSessionBus(const QString& extraServiceDir) {
    if (!m_dir.isValid()) {
        m_error = QStringLiteral("cannot create a temporary folder");
        return;
    }
    const QString configPath = m_dir.filePath(QStringLiteral("session.conf"));
    QFile config(configPath);
    if (!config.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        m_error = QStringLiteral("cannot write %1").arg(configPath);
        return;
    }
    const QString text =
        QStringLiteral(
            "<!DOCTYPE busconfig PUBLIC \"-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN\"\n"
            " \"http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd\">\n"
            "<busconfig>\n"
            "  <type>session</type>\n"
            "  <listen>unix:tmpdir=%1</listen>\n"
            "  <servicedir>%2</servicedir>\n"
            "%3"
            "  <policy context=\"default\">\n"
            "    <allow send_destination=\"*\" eavesdrop=\"true\"/>\n"
            "    <allow eavesdrop=\"true\"/>\n"
            "    <allow own=\"*\"/>\n"
            "  </policy>\n"
            "</busconfig>\n")
            .arg(m_dir.path().toHtmlEscaped(), serviceDir().toHtmlEscaped(),
                 extraServiceDir.isEmpty() ? QString()
                                           : QStringLiteral("  <servicedir>%1</servicedir>\n")
                                                 .arg(extraServiceDir.toHtmlEscaped()));
    config.write(text.toUtf8());
    config.close();

    m_daemon = std::make_unique<QProcess>();
    m_daemon->setProgram(QStringLiteral("dbus-daemon"));
    m_daemon->setArguments({QStringLiteral("--config-file=") + configPath,
                            QStringLiteral("--nofork"), QStringLiteral("--print-address")});
    m_daemon->setProcessChannelMode(QProcess::SeparateChannels);
    // Its own group: the group ends with the daemon, whatever it started included.
    m_daemon->setChildProcessModifier([] { ::setpgid(0, 0); });
    m_daemon->start();
    if (!m_daemon->waitForStarted(5000)) {
        m_error = QStringLiteral("cannot start dbus-daemon: %1").arg(m_daemon->errorString());
        m_daemon.reset();
        return;
    }
    QByteArray line;
    const QDeadlineTimer deadline(10000);
    while (!line.contains('\n') && !deadline.hasExpired()) {
        if (!m_daemon->waitForReadyRead(200) && m_daemon->state() != QProcess::Running)
            break;
        line += m_daemon->readAllStandardOutput();
    }
    const QString address = QString::fromUtf8(line).trimmed();
    if (address.isEmpty()) {
        m_error = QStringLiteral("dbus-daemon printed no address: %1")
                      .arg(QString::fromLocal8Bit(m_daemon->readAllStandardError()));
        m_daemon->kill();
        m_daemon->waitForFinished(2000);
        m_daemon.reset();
        return;
    }
    m_address = address;
    m_hadPreviousAddress = qEnvironmentVariableIsSet("DBUS_SESSION_BUS_ADDRESS");
    m_previousAddress = qgetenv("DBUS_SESSION_BUS_ADDRESS");
    qputenv("DBUS_SESSION_BUS_ADDRESS", m_address.toUtf8());
    m_connectionName =
        QStringLiteral("korvel-private-bus-") + QUuid::createUuid().toString(QUuid::WithoutBraces);
}

PrivateSessionBus::~PrivateSessionBus() {
    if (!m_daemon)
        return;
    killNameOwners();
    QDBusConnection::disconnectFromBus(m_connectionName);
    killDaemonChildren();
    m_daemon->terminate();
    if (!m_daemon->waitForFinished(3000)) {
        m_daemon->kill();
        m_daemon->waitForFinished(3000);
    }
    if (m_hadPreviousAddress)
        qputenv("DBUS_SESSION_BUS_ADDRESS", m_previousAddress);
    else
        qunsetenv("DBUS_SESSION_BUS_ADDRESS");
}

QDBusConnection PrivateSessionBus::connection() const {
    return QDBusConnection::connectToBus(m_address, m_connectionName);
}

qint64 PrivateSessionBus::ownerPid(const QString& busName) const {
    if (!isValid())
        return 0;
    QDBusConnectionInterface* bus = connection().interface();
    if (!bus)
        return 0;
    const QDBusReply<bool> registered = bus->isServiceRegistered(busName);
    if (!registered.isValid() || !registered.value())
        return 0;
    const QDBusReply<uint> pid = bus->servicePid(busName);
    return pid.isValid() ? qint64(pid.value()) : 0;
}

bool PrivateSessionBus::waitForOwner(const QString& busName, int timeoutMs) const {
    const QDeadlineTimer deadline(timeoutMs);
    do {
        if (ownerPid(busName) != 0)
            return true;
        QThread::msleep(50);
    } while (!deadline.hasExpired());
    return false;
}

bool PrivateSessionBus::killOwner(const QString& busName, int timeoutMs) const {
    const qint64 pid = ownerPid(busName);
    if (pid <= 0 || pid == qint64(::getpid()))
        return false;
    ::kill(pid_t(pid), SIGKILL);
    const QDeadlineTimer deadline(timeoutMs);
    while (!deadline.hasExpired()) {
        if (ownerPid(busName) == 0)
            return true;
        QThread::msleep(50);
    }
    return false;
}

void PrivateSessionBus::killNameOwners() {
    QDBusConnectionInterface* bus = connection().interface();
    if (!bus)
        return;
    const QDBusReply<QStringList> names = bus->registeredServiceNames();
    if (!names.isValid())
        return;
    QList<pid_t> pids;
    for (const QString& name : names.value()) {
        if (name.startsWith(QLatin1Char(':')) || name == QLatin1String("org.freedesktop.DBus"))
            continue;
        const QDBusReply<uint> pid = bus->servicePid(name);
        if (pid.isValid() && pid.value() != 0 && pid_t(pid.value()) != ::getpid() &&
            !pids.contains(pid_t(pid.value())))
            pids.append(pid_t(pid.value()));
    }
    for (pid_t pid : pids)
        ::kill(pid, SIGTERM);
    // A host that ignores SIGTERM (stuck in a modal box) must not outlive the test.
    const QDeadlineTimer deadline(2000);
    for (pid_t pid : pids) {
        while (::kill(pid, 0) == 0 && !deadline.hasExpired())
            QThread::msleep(20);
        if (::kill(pid, 0) == 0)
            ::kill(pid, SIGKILL);
    }
}

void PrivateSessionBus::killDaemonChildren() {
    const pid_t daemon = pid_t(m_daemon->processId());
    if (daemon <= 0)
        return;
    const QList<pid_t> pids = processesOf(daemon);
    for (pid_t pid : pids)
        ::kill(pid, SIGTERM);
    const QDeadlineTimer deadline(2000);
    for (pid_t pid : pids) {
        while (!isGone(pid) && !deadline.hasExpired())
            QThread::msleep(20);
        if (!isGone(pid))
            ::kill(pid, SIGKILL);
    }
    const QDeadlineTimer killed(2000);
    for (pid_t pid : pids)
        while (!isGone(pid) && !killed.hasExpired())
            QThread::msleep(10);
}

} // namespace korvel::test
