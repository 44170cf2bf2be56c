// tarnix: the layer viewer.
#include "app/TerminationSignals.h"
#include "app/basMain.h"
#include "viewer/frmWMF.h"

void Main(const QString& sCommand) {
    // Closing the window ends the program: its unload handler has run by then.
    auto* window = new frmWMF;
    window->setAttribute(Qt::WA_DeleteOnClose);
    // A logout or a kill ends the program as a close of its window does; a close
    // during a refresh waits for the refresh to put the drawing's layers back.
    QObject::connect(&TerminationSignals::install(), &TerminationSignals::received, window,
                     [window] { TerminationSignals::closeAll(window); });
    window->Form_Load(sCommand);
}

int main(int argc, char** argv) {
    KorvelApplication app(argc, argv);
    basMain::installFontFallback(app);
    Main(basMain::commandLineText(KorvelApplication::arguments()));
    return KorvelApplication::exec();
}
