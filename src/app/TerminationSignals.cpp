#include "TerminationSignals.h"

#include <QApplication>
#include <QDialog>
#include <QSet>
#include <QSocketNotifier>
#include <QWidget>
#include <csignal>
#include <sys/socket.h>
#include <unistd.h>

namespace {

// A signal handler may do next to nothing: it writes the number into a socket that
// the main thread's event loop watches.
int g_pipe[2] = {-1, -1};

extern "C" void onTerminationSignal(int signalNumber) {
    const unsigned char number = static_cast<unsigned char>(signalNumber);
    [[maybe_unused]] const ssize_t written = ::write(g_pipe[0], &number, 1);
}

} // namespace

TerminationSignals& TerminationSignals::install() {
    static TerminationSignals* instance = new TerminationSignals;
    return *instance;
}

TerminationSignals::TerminationSignals() : QObject(QCoreApplication::instance()) {
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0, g_pipe) != 0)
        return; // without the socket the defaults stay: the program still ends
    m_notifier = new QSocketNotifier(g_pipe[1], QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, &TerminationSignals::readPending);

    struct sigaction action {};
    action.sa_handler = onTerminationSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (int signalNumber : {SIGTERM, SIGHUP, SIGINT})
        ::sigaction(signalNumber, &action, nullptr);
}

void TerminationSignals::closeAll(QWidget* mainWindow, const std::function<void()>& endProgram) {
    // Each window once: one that refuses to go, or stays on the modal stack until its own
    // loop has returned, must not stop the windows below it from closing.
    QSet<QWidget*> tried;
    while (QWidget* modal = QApplication::activeModalWidget()) {
        if (modal == mainWindow || tried.contains(modal))
            break;
        tried.insert(modal);
        // A dialog's way out is its rejection (Esc); its close may be refused.
        if (auto* dialog = qobject_cast<QDialog*>(modal))
            dialog->reject();
        else
            modal->close();
        modal->hide();
    }
    if (!mainWindow) {
        endProgram();
        return;
    }
    // A refresh that runs refuses the close until it has put the layers back; it closes
    // the window itself then, and the program ends with the window (see main).
    if (mainWindow->close())
        endProgram();
}

void TerminationSignals::endProgram() {
    QCoreApplication::exit(0);
}

void TerminationSignals::readPending() {
    unsigned char number = 0;
    while (::read(g_pipe[1], &number, 1) == 1)
        emit received(number);
}
