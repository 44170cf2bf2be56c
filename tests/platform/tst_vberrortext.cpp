#include "platform/VbError.h"
#include "platform/VbErrorText.h"
#include "platform/VbNumeric.h"

#include <gtest/gtest.h>

using namespace platform;

namespace {

TEST(VbErrorText, NumbersReadAsTheJapaneseRuntimeWordsThem) {
    EXPECT_EQ(vbErrorText(vberr::SubscriptOutOfRange),
              QStringLiteral("インデックスが有効範囲にありません。"));
    EXPECT_EQ(vbErrorText(vberr::TypeMismatch), QStringLiteral("型が一致しません。"));
    EXPECT_EQ(vbErrorText(vberr::FileNotFound), QStringLiteral("ファイルが見つかりません。"));
    EXPECT_EQ(vbErrorText(91),
              QStringLiteral("オブジェクト変数または With ブロック変数が設定されていません。"));
    EXPECT_EQ(vbErrorText(429),
              QStringLiteral("ActiveX コンポーネントはオブジェクトを作成できません。"));
    // An unknown number still reads as something, never as an empty description.
    EXPECT_EQ(vbErrorText(31999),
              QStringLiteral("アプリケーション定義またはオブジェクト定義のエラーです。"));
}

TEST(VbErrorText, FactoriesCarryTheNumberTheTextAndTheName) {
    const VbError plain = vbError(vberr::PathNotFound);
    EXPECT_EQ(plain.number(), vberr::PathNotFound);
    EXPECT_EQ(plain.description(), QStringLiteral("パスが見つかりません。"));
    EXPECT_STREQ(plain.what(), "パスが見つかりません。");

    EXPECT_EQ(vbError(383, QStringLiteral("Text")).description(),
              QStringLiteral("'Text' プロパティは読み取り専用です。"));
    EXPECT_EQ(vbError(730, QStringLiteral("ImgOne3")).description(),
              QStringLiteral("コントロール 'ImgOne3' が見つかりません。"));
    // A text without a placeholder ignores a name given by mistake.
    EXPECT_EQ(vbError(53, QStringLiteral("x")).description(), vbErrorText(53));

    const AutomationError gone = automationError(static_cast<qint32>(0x800706BAu));
    EXPECT_EQ(gone.description(), QStringLiteral("RPC サーバーを利用できません。"));
}

TEST(VbErrorText, ConversionsRaiseTheTableTexts) {
    try {
        vb::CLng(1e300);
        FAIL() << "no overflow";
    } catch (const VbError& e) {
        EXPECT_EQ(e.description(), vbErrorText(vb::ErrOverflow));
        EXPECT_EQ(e.description(), QStringLiteral("オーバーフローしました。"));
    }
}

} // namespace
