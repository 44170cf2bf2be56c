#pragma once

#include <QString>
#include <functional>

namespace platform {

// VB message box flags and results. Callers combine one button set with one icon.
enum MsgBoxFlag : int {
    vbOKOnly = 0,
    vbOKCancel = 1,
    vbYesNo = 4,
    vbCritical = 16,
    vbQuestion = 32,
    vbExclamation = 48,
    vbInformation = 64,
};

enum MsgBoxResult : int {
    vbOK = 1,
    vbCancel = 2,
    vbYes = 6,
    vbNo = 7,
};

// Every message of the system goes through this one call, with its text exactly as
// worded (CR and CR LF included); only the display turns them into line breaks.
int MsgBox(const QString& prompt, int buttons, const QString& title);

// Tests replace the display with a handler that records and answers each box.
using MsgBoxHandler = std::function<int(const QString& prompt, int buttons, const QString& title)>;
void setMsgBoxHandler(MsgBoxHandler handler);
void resetMsgBoxHandler();

} // namespace platform
