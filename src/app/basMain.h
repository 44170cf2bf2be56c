#pragma once

#include <QApplication>
#include <QString>
#include <QStringList>

// Start-up of tarnix.
//
// Main loads the viewer window and returns; the program then runs until that window
// is closed. It is defined beside main() in the tarnix executable, the one place that
// knows the viewer window; what start-up needs besides lives here.
void Main(const QString& sCommand);

namespace basMain {

// The argument text after the program's name, as the list-file path: the arguments
// joined by single blanks, nothing stripped or split.
QString commandLineText(const QStringList& arguments);

// Japanese captions must render whatever the desktop's default font covers: the
// default family first, then fonts known to carry the Japanese glyphs.
void installFontFallback(QApplication& app);

} // namespace basMain

// The application object. An error that a command does not trap must not end the
// program: it is shown in the unexpected-error box, named after the object whose event
// raised it, and the event loop goes on.
class KorvelApplication : public QApplication {
    Q_OBJECT
public:
    KorvelApplication(int& argc, char** argv);
    bool notify(QObject* receiver, QEvent* event) override;
};
