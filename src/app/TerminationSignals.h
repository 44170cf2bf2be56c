#pragma once

#include <QObject>
#include <functional>

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

    // Ends the program as a close of `mainWindow` does. Message boxes and dialogs the
    // user left open are closed first, innermost first. Once the main window has closed,
    // every event loop is left through `endProgram`: a command that was waiting in a box
    // of its own would otherwise go on and keep the program running without its window.
    // A window that refuses the close (a refresh putting the drawing's layers back)
    // closes itself later; its owner ends the program with it.
    static void closeAll(QWidget* mainWindow,
                         const std::function<void()>& endProgram = &TerminationSignals::endProgram);
    static void endProgram();

signals:
    void received(int signalNumber);

private:
    TerminationSignals();
    void readPending();

    QSocketNotifier* m_notifier = nullptr;
};
