#pragma once

#include <QProcess>
#include <QString>

namespace korvel::test {

// A private X server (Xvfb) for one test, optionally with a window manager that frames
// its windows as a desktop's does. display() is empty when the machine has no Xvfb or
// no free display; a test then skips with that reason.
//
//     korvel::test::PrivateXServer x(korvel::test::PrivateXServer::WithWindowManager);
//     if (!x.isRunning()) GTEST_SKIP() << x.whyNot().toStdString();
class PrivateXServer {
public:
    enum Manager { Bare, WithWindowManager };
    explicit PrivateXServer(Manager manager = Bare);
    ~PrivateXServer();
    PrivateXServer(const PrivateXServer&) = delete;
    PrivateXServer& operator=(const PrivateXServer&) = delete;

    bool isRunning() const { return !m_display.isEmpty(); }
    QString display() const { return m_display; }
    QString whyNot() const { return m_whyNot; }

private:
    bool startServer();
    bool startWindowManager();
    static void stop(QProcess& process);

    QString m_display;
    QString m_whyNot;
    QProcess m_server;
    QProcess m_manager;
};

} // namespace korvel::test
