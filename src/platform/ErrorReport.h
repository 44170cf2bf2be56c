#pragma once

#include "platform/VbError.h"

#include <QString>

// The two reports every command shares: the unexpected-error box, and the message
// for a layer that the drawing no longer has.
namespace ErrorReport {

inline const QString kTitle = QStringLiteral("KORVEL Ver4.00");

// "予期せぬエラーが <procedure> で発生しました。" with the number and description.
QString unexpectedErrorText(const QString& procedure, qint32 number, const QString& description);
void showUnexpectedError(const QString& procedure, qint32 number, const QString& description);
void showUnexpectedError(const QString& procedure, const platform::VbError& error);
// For failures that are not VbErrors (std::bad_alloc and the like): number 0 would
// hide them, so they report as VB's "internal error" 51 with their own text.
void showUnexpectedError(const QString& procedure, const std::exception& error);

QString staleDrawingText();
void showStaleDrawingMessage();

} // namespace ErrorReport
