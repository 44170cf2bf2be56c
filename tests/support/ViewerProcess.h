#pragma once

#include <QProcess>
#include <QProcessEnvironment>
#include <QString>
#include <QTemporaryDir>

namespace korvel::test {

// The built viewer run as a user runs it, in a program folder of its own (its settings
// file and work folder are made there), so a test can start it, end it as a desktop
// does and read what it left behind.
class ViewerProcess {
public:
    ViewerProcess();
    bool isValid() const { return m_folder.isValid(); }
    QString folder() const { return m_folder.path(); }
    QString filePath(const QString& name) const { return m_folder.filePath(name); }

    // Starts the viewer and waits until it has loaded its window (its settings file
    // exists then). `display` empty: Qt's offscreen platform.
    bool start(const QString& display = QString());
    // Ends it with SIGTERM, as a logout does; true when it exited normally with 0.
    bool terminate();
    QString output() const { return m_output; }

private:
    QTemporaryDir m_folder;
    QProcess m_process;
    QString m_output;
};

} // namespace korvel::test
