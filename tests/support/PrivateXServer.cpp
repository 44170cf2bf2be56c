#include "PrivateXServer.h"

#include <QElapsedTimer>
#include <QFile>
#include <QStandardPaths>
#include <QThread>

namespace korvel::test {

PrivateXServer::PrivateXServer(Manager manager) {
    if (!startServer())
        return;
    if (manager == WithWindowManager && !startWindowManager()) {
        stop(m_server);
        m_display.clear();
    }
}

PrivateXServer::~PrivateXServer() {
    stop(m_manager);
    stop(m_server);
}

void PrivateXServer::stop(QProcess& process) {
    if (process.state() == QProcess::NotRunning)
        return;
    process.terminate();
    if (!process.waitForFinished(3000)) {
        process.kill();
        process.waitForFinished(3000);
    }
}

bool PrivateXServer::startServer() {
    const QString xvfb = QStandardPaths::findExecutable(QStringLiteral("Xvfb"));
    if (xvfb.isEmpty()) {
        m_whyNot = QStringLiteral("no Xvfb here");
        return false;
    }
    for (int n = 171; n < 190; ++n) {
        const QString socket = QStringLiteral("/tmp/.X11-unix/X%1").arg(n);
        // A display in use (or left by a server that did not clean up) has its socket or
        // its lock file; Xvfb would refuse it and we would wait in vain.
        if (QFile::exists(socket) || QFile::exists(QStringLiteral("/tmp/.X%1-lock").arg(n)))
            continue;
        const QString name = QStringLiteral(":%1").arg(n);
        m_server.start(xvfb, {name, QStringLiteral("-screen"), QStringLiteral("0"),
                              QStringLiteral("1280x1024x24"), QStringLiteral("-noreset"),
                              QStringLiteral("-nolisten"), QStringLiteral("tcp")});
        for (int i = 0; i < 50 && m_server.state() != QProcess::NotRunning; ++i) {
            QThread::msleep(100);
            if (QFile::exists(socket)) {
                m_display = name;
                return true;
            }
        }
        stop(m_server);
    }
    m_whyNot = QStringLiteral("no free X display");
    return false;
}

bool PrivateXServer::startWindowManager() {
    const QString openbox = QStandardPaths::findExecutable(QStringLiteral("openbox"));
    const QString xprop = QStandardPaths::findExecutable(QStringLiteral("xprop"));
    if (openbox.isEmpty() || xprop.isEmpty()) {
        m_whyNot = QStringLiteral("no openbox or xprop here");
        return false;
    }
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("DISPLAY"), m_display);
    m_manager.setProcessEnvironment(env);
    m_manager.start(openbox, {QStringLiteral("--sm-disable")});
    // The manager is in charge once it names its check window on the root window.
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < 10000 && m_manager.state() != QProcess::NotRunning) {
        QProcess probe;
        probe.setProcessEnvironment(env);
        probe.start(xprop, {QStringLiteral("-root"), QStringLiteral("_NET_SUPPORTING_WM_CHECK")});
        probe.waitForFinished(3000);
        if (probe.readAllStandardOutput().contains("window id"))
            return true;
        QThread::msleep(100);
    }
    m_whyNot = QStringLiteral("the window manager did not start");
    return false;
}

} // namespace korvel::test
