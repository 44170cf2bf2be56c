#include "PrivateSessionBus.h"

#include <QCoreApplication>
#include <QDBusMessage>
#include <QDeadlineTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QThread>
#include <gtest/gtest.h>

#include <csignal>

namespace {

bool isGone(qint64 pid) {
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!stat.open(QIODevice::ReadOnly))
        return true;
    const QByteArray text = stat.readAll();
    const qsizetype close = text.lastIndexOf(')');
    return close >= 0 && text.size() > close + 2 && text.at(close + 2) == 'Z';
}

// A service that is started by activation but never takes its name, and ignores
// SIGTERM (as a host stuck in a modal box would): only the fixture's clean-up can end it.
TEST(PrivateSessionBus, AStartedServiceThatNeverTookItsNameDoesNotOutliveTheBus) {
    QTemporaryDir services;
    ASSERT_TRUE(services.isValid());
    const QString pidFile = services.filePath(QStringLiteral("silent.pid"));
    const QString script = services.filePath(QStringLiteral("silent.sh"));
    {
        QFile f(script);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(
            QStringLiteral("#!/bin/sh\ntrap '' TERM\necho $$ > '%1'\nwhile :; do sleep 1; done\n")
                .arg(pidFile)
                .toUtf8());
        f.close();
        f.setPermissions(f.permissions() | QFile::ExeOwner);
        QFile service(services.filePath(QStringLiteral("Korvel.Silent.service")));
        ASSERT_TRUE(service.open(QIODevice::WriteOnly));
        service.write(
            QStringLiteral("[D-BUS Service]\nName=Korvel.Silent\nExec=%1\n").arg(script).toUtf8());
    }

    qint64 pid = 0;
    {
        korvel::test::PrivateSessionBus bus(services.path());
        ASSERT_TRUE(bus.isValid()) << bus.errorString().toStdString();
        QDBusMessage start = QDBusMessage::createMethodCall(
            QStringLiteral("org.freedesktop.DBus"), QStringLiteral("/org/freedesktop/DBus"),
            QStringLiteral("org.freedesktop.DBus"), QStringLiteral("StartServiceByName"));
        start.setArguments({QStringLiteral("Korvel.Silent"), 0u});
        // The answer would come only once the name is taken, which it never is.
        ASSERT_TRUE(bus.connection().send(start));
        const QDeadlineTimer deadline(10000);
        while (pid == 0 && !deadline.hasExpired()) {
            QFile f(pidFile);
            if (f.open(QIODevice::ReadOnly))
                pid = f.readAll().trimmed().toLongLong();
            if (pid == 0)
                QThread::msleep(50);
        }
        ASSERT_GT(pid, 0) << "the service was not started";
        EXPECT_FALSE(isGone(pid));
        EXPECT_EQ(bus.ownerPid(QStringLiteral("Korvel.Silent")), 0);
    }
    const bool gone = isGone(pid);
    if (!gone)
        ::kill(pid_t(pid), SIGKILL);
    EXPECT_TRUE(gone) << "process " << pid << " outlived the bus";
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
