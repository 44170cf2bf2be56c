#pragma once

#include <QString>

// Opens the viewer's secondary windows.
namespace basFormShow {

inline const QString kProductName = QStringLiteral("KORVEL");
inline const QString kVersion = QStringLiteral("4.00");
inline const QString kInfoTitle = QStringLiteral("バージョン情報");

// "Readme" + the product name + ".txt".
QString readmeFileName();

// The nine lines of the about window for the executable at exePath, joined by CR LF.
// Throws platform::VbError when the executable cannot be read.
QString pu_sInfoText(const QString& exePath);

// Composes the text for the running program and shows clsInfo with it; on failure
// shows the error box and opens no window.
void pu_subInfoShow();
void pu_subInfoShow(const QString& exePath, const QString& readmePath);

} // namespace basFormShow
