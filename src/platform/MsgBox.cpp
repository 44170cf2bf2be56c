#include "MsgBox.h"

#include <QApplication>
#include <QMessageBox>

namespace platform {
namespace {

MsgBoxHandler& currentHandler() {
    static MsgBoxHandler handler;
    return handler;
}

QMessageBox::Icon iconFor(int buttons) {
    switch (buttons & 0x70) {
    case vbCritical:
        return QMessageBox::Critical;
    case vbQuestion:
        return QMessageBox::Question;
    case vbExclamation:
        return QMessageBox::Warning;
    case vbInformation:
        return QMessageBox::Information;
    default:
        return QMessageBox::NoIcon;
    }
}

// The system's texts break lines with CR or CR LF, as Windows boxes display them.
QString displayText(QString text) {
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    text.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    return text;
}

int showQMessageBox(const QString& prompt, int buttons, const QString& title) {
    QMessageBox box(iconFor(buttons), title, displayText(prompt));
    switch (buttons & 0x7) {
    case vbYesNo:
        box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
        box.setDefaultButton(QMessageBox::Yes);
        break;
    case vbOKCancel:
        box.setStandardButtons(QMessageBox::Ok | QMessageBox::Cancel);
        break;
    default:
        box.setStandardButtons(QMessageBox::Ok);
        break;
    }
    // A message's frame: its title and the close button, nothing to minimise or
    // maximise (the manager adds both to an ownerless window unless told).
    box.setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::MSWindowsFixedSizeDialogHint |
                       Qt::WindowTitleHint | Qt::WindowCloseButtonHint | Qt::WindowStaysOnTopHint);
    switch (box.exec()) {
    case QMessageBox::Yes:
        return vbYes;
    case QMessageBox::No:
        return vbNo;
    case QMessageBox::Cancel:
        return vbCancel;
    default:
        return vbOK;
    }
}

} // namespace

int MsgBox(const QString& prompt, int buttons, const QString& title) {
    if (currentHandler())
        return currentHandler()(prompt, buttons, title);
    return showQMessageBox(prompt, buttons, title);
}

void setMsgBoxHandler(MsgBoxHandler handler) {
    currentHandler() = std::move(handler);
}

void resetMsgBoxHandler() {
    currentHandler() = nullptr;
}

} // namespace platform
