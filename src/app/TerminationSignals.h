#pragma once

#include <QObject>

class QSocketNotifier;
class QWidget;

// The signals a desktop ends a program with: SIGTERM (logout, `kill`), SIGHUP (its
// terminal gone) and SIGINT (Ctrl+C in a terminal). Left to their defaults they end
// the viewer on the spot, skipping its close: the work folder stays, the position is
// not saved, and a refresh in progress leaves the drawing's layers on. Here they are
// turned into a call on the main thread, so the program can end as if its window had
// been closed.
class TerminationSignals : public QObject {
    Q_OBJECT
public:
    // Installs the handlers once for the process; later calls return the same object.
    static TerminationSignals& install();

    // Ends the program as a close of `mainWindow` does. A message box or dialog the user
    // left open would keep the program running after its main window closed: such
    // windows are closed first, innermost first.
    static void closeAll(QWidget* mainWindow);

signals:
    void received(int signalNumber);

private:
    TerminationSignals();
    void readPending();

    QSocketNotifier* m_notifier = nullptr;
};
