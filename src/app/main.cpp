// tarnix: the layer viewer.
#include "app/basMain.h"
#include "viewer/frmWMF.h"

void Main(const QString& sCommand) {
    // Closing the window ends the program: its unload handler has run by then.
    auto* window = new frmWMF;
    window->setAttribute(Qt::WA_DeleteOnClose);
    window->Form_Load(sCommand);
}

int main(int argc, char** argv) {
    KorvelApplication app(argc, argv);
    basMain::installFontFallback(app);
    Main(basMain::commandLineText(KorvelApplication::arguments()));
    return KorvelApplication::exec();
}
