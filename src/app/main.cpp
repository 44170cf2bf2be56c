// tarnix: the layer viewer.
#include "app/TerminationSignals.h"
#include "app/basMain.h"
#include "viewer/frmWMF.h"

#include <QPointer>

void Main(const QString& sCommand) {
    // Closing the window ends the program: its unload handler has run by then. Whatever
    // else is still on screen (a status window, a box of a command) goes with it.
    auto* window = new frmWMF;
    window->setAttribute(Qt::WA_DeleteOnClose);
    QObject::connect(window, &QObject::destroyed, QCoreApplication::instance(),
                     &TerminationSignals::endProgram);
    // A logout or a kill ends the program as a close of its window does; a close
    // during a refresh waits for the refresh to put the drawing's layers back.
    QObject::connect(&TerminationSignals::install(), &TerminationSignals::received,
                     QCoreApplication::instance(),
                     [window = QPointer<frmWMF>(window)] { TerminationSignals::closeAll(window); });
    window->Form_Load(sCommand);
}

int main(int argc, char** argv) {
    KorvelApplication app(argc, argv);
    basMain::installFontFallback(app);
    Main(basMain::commandLineText(KorvelApplication::arguments()));
    return KorvelApplication::exec();
}
