#include "ViewerProcess.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QThread>

namespace korvel::test {

ViewerProcess::ViewerProcess() {
    if (!m_folder.isValid())
        return;
    const QString program = m_folder.filePath(QStringLiteral("tarnix"));
    QFile::copy(QStringLiteral(KORVEL_BIN_DIR "/tarnix"), program);
    QFile::setPermissions(program, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    // With its macro project beside it the folder is a portable copy, which keeps its
    // settings and pictures beside the program.
    QFile::copy(QStringLiteral(KORVEL_BIN_DIR "/TARNIX.dvb"),
                m_folder.filePath(QStringLiteral("TARNIX.dvb")));
    m_process.setProcessChannelMode(QProcess::MergedChannels);
}

bool ViewerProcess::start(const QString& display) {
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    if (display.isEmpty()) {
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    } else {
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
        env.insert(QStringLiteral("DISPLAY"), display);
    }
    m_process.setProcessEnvironment(env);
    m_process.start(m_folder.filePath(QStringLiteral("tarnix")), {});
    if (!m_process.waitForStarted(10000))
        return false;
    const QString ini = m_folder.filePath(QStringLiteral("TARNIX.ini"));
    QElapsedTimer clock;
    clock.start();
    while (!QFileInfo::exists(ini) && clock.elapsed() < 20000 &&
           m_process.state() == QProcess::Running)
        QThread::msleep(20);
    // The settings file is made at the start of the load; the window is placed and shown
    // after it.
    QThread::msleep(1500);
    return m_process.state() == QProcess::Running;
}

bool ViewerProcess::terminate() {
    m_process.terminate();
    const bool finished = m_process.waitForFinished(20000);
    m_output += QString::fromLocal8Bit(m_process.readAll());
    if (!finished) {
        m_process.kill();
        m_process.waitForFinished(5000);
        return false;
    }
    return m_process.exitStatus() == QProcess::NormalExit && m_process.exitCode() == 0;
}

} // namespace korvel::test
