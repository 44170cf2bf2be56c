#include "platform/MsgBox.h"
#include "platform/Twips.h"

#include <gtest/gtest.h>

using namespace platform;

TEST(MsgBox, ScriptedHandlerReceivesExactTextFlagsAndTitle) {
    QString seenPrompt, seenTitle;
    int seenButtons = -1;
    setMsgBoxHandler([&](const QString& p, int b, const QString& t) {
        seenPrompt = p;
        seenButtons = b;
        seenTitle = t;
        return int(vbNo);
    });
    const QString prompt = QStringLiteral("AutoCADが起動されていません。\r起動して宜しいですか？");
    EXPECT_EQ(MsgBox(prompt, vbYesNo | vbExclamation, QStringLiteral("KORVEL Ver4.00")), vbNo);
    EXPECT_EQ(seenPrompt, prompt);
    EXPECT_EQ(seenButtons, 52);
    EXPECT_EQ(seenTitle, QStringLiteral("KORVEL Ver4.00"));
    resetMsgBoxHandler();
}

TEST(Twips, ConversionRoundsToWholePixelsAndCaps) {
    EXPECT_EQ(twipsToPixels(15), 1);
    EXPECT_EQ(twipsToPixels(22.5), 2); // half goes to the even neighbour
    EXPECT_EQ(twipsToPixels(37.5), 2);
    EXPECT_DOUBLE_EQ(snapTwips(2565), 2565);
    EXPECT_DOUBLE_EQ(snapTwips(1e9), 32767.0 * 15);
    EXPECT_DOUBLE_EQ(snapTwips(-1e9), -32767.0 * 15);
}
