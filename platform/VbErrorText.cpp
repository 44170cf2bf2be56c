#include "VbErrorText.h"

#include <QHash>

namespace platform {

namespace {

// Only numbers the system raises itself; automation errors of the CAD keep its texts.
const QHash<qint32, QString>& table() {
    static const QHash<qint32, QString> texts{
        {5, QStringLiteral("プロシージャの呼び出し、または引数が不正です。")},
        {6, QStringLiteral("オーバーフローしました。")},
        {9, QStringLiteral("インデックスが有効範囲にありません。")},
        {11, QStringLiteral("0 で除算しました。")},
        {13, QStringLiteral("型が一致しません。")},
        {51, QStringLiteral("内部エラーです。")},
        {53, QStringLiteral("ファイルが見つかりません。")},
        {75, QStringLiteral("パス名が無効です。")},
        {76, QStringLiteral("パスが見つかりません。")},
        {91, QStringLiteral("オブジェクト変数または With ブロック変数が設定されていません。")},
        {94, QStringLiteral("Null の使い方が不正です。")},
        {380, QStringLiteral("プロパティの値が不正です。")},
        {383, QStringLiteral("'%1' プロパティは読み取り専用です。")},
        {429, QStringLiteral("ActiveX コンポーネントはオブジェクトを作成できません。")},
        {481, QStringLiteral("ピクチャが不正です。")},
        {727, QStringLiteral("名前 '%1' のコントロールは既に存在します。")},
        {730, QStringLiteral("コントロール '%1' が見つかりません。")},
        // Failures of the link to an automation server, as the system words them.
        {static_cast<qint32>(0x800706BAu), QStringLiteral("RPC サーバーを利用できません。")},
        {static_cast<qint32>(0x800706BEu),
         QStringLiteral("リモート プロシージャ コールに失敗しました。")},
        {static_cast<qint32>(0x80010105u), QStringLiteral("サーバーによって例外が返されました。")},
    };
    return texts;
}

QString filled(qint32 number, const QString& name) {
    const QString text = vbErrorText(number);
    return text.contains(QLatin1String("%1")) ? text.arg(name) : text;
}

} // namespace

QString vbErrorText(qint32 number) {
    return table().value(
        number, QStringLiteral("アプリケーション定義またはオブジェクト定義のエラーです。"));
}

VbError vbError(qint32 number, const QString& name) {
    return VbError(number, filled(number, name));
}

AutomationError automationError(qint32 number, const QString& name) {
    return AutomationError(number, filled(number, name));
}

} // namespace platform
