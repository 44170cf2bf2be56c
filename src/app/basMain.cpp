#include "basMain.h"

#include "platform/ErrorReport.h"
#include "platform/VbErrorText.h"

#include <QFont>

namespace basMain {

QString commandLineText(const QStringList& arguments) {
    return arguments.mid(1).join(QLatin1Char(' '));
}

void installFontFallback(QApplication& app) {
    QFont font = app.font();
    QStringList families{font.family()};
    for (const char* family :
         {"IPAPGothic", "IPAGothic", "Noto Sans CJK JP", "VL PGothic", "TakaoPGothic"}) {
        families << QString::fromLatin1(family);
    }
    font.setFamilies(families);
    app.setFont(font);
}

} // namespace basMain

KorvelApplication::KorvelApplication(int& argc, char** argv) : QApplication(argc, argv) {
    setApplicationName(QStringLiteral("tarnix"));
    setOrganizationName(QStringLiteral("KORVEL"));
}

bool KorvelApplication::notify(QObject* receiver, QEvent* event) {
    const auto where = [receiver] {
        const QString name = receiver ? receiver->objectName() : QString();
        return name.isEmpty() ? QStringLiteral("Main") : name;
    };
    try {
        return QApplication::notify(receiver, event);
    } catch (const std::exception& error) {
        ErrorReport::showUnexpectedError(where(), error);
    } catch (...) {
        ErrorReport::showUnexpectedError(where(), platform::vberr::InternalError,
                                         platform::vbErrorText(platform::vberr::InternalError));
    }
    return false;
}
