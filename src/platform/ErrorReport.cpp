#include "ErrorReport.h"

#include "platform/MsgBox.h"

namespace ErrorReport {

QString unexpectedErrorText(const QString& procedure, qint32 number, const QString& description) {
    return QStringLiteral("予期せぬエラーが ") + procedure + QStringLiteral(" で発生しました。") +
           QLatin1Char('\r') + QStringLiteral("番号：") + QString::number(number) +
           QLatin1Char('\r') + QStringLiteral("内容：") + description;
}

void showUnexpectedError(const QString& procedure, qint32 number, const QString& description) {
    platform::MsgBox(unexpectedErrorText(procedure, number, description),
                     platform::vbOKOnly | platform::vbCritical, kTitle);
}

void showUnexpectedError(const QString& procedure, const platform::VbError& error) {
    showUnexpectedError(procedure, error.number(), error.description());
}

void showUnexpectedError(const QString& procedure, const std::exception& error) {
    if (auto* vb = dynamic_cast<const platform::VbError*>(&error)) {
        showUnexpectedError(procedure, *vb);
        return;
    }
    showUnexpectedError(procedure, platform::vberr::InternalError,
                        QString::fromLocal8Bit(error.what()));
}

QString staleDrawingText() {
    return QStringLiteral("前回更新した後にAutoCAD側で画層の追加・削除") + QLatin1Char('\r') +
           QStringLiteral(
               "又は線種の追加・削除をした可能性がある為更新ボタンで再度更新して下さい。");
}

void showStaleDrawingMessage() {
    platform::MsgBox(staleDrawingText(), platform::vbOKOnly | platform::vbCritical, kTitle);
}

} // namespace ErrorReport
