// How commands meet failure: a trapped handler stops with one box, a layer command
// reads the CAD's "not in the drawing" as the stale-drawing message, a skipping
// command drops what fails and goes on.

#include "platform/ErrorReport.h"
#include "platform/ErrorTrap.h"

#include "automation/CadErrorNumbers.h"
#include "platform/MsgBox.h"
#include "platform/VbError.h"

#include <gtest/gtest.h>
#include <stdexcept>
#include <vector>

namespace {

class Boxes {
public:
    Boxes() {
        platform::setMsgBoxHandler([this](const QString& p, int b, const QString& t) {
            prompts.push_back(p);
            buttons.push_back(b);
            titles.push_back(t);
            return int(platform::vbOK);
        });
    }
    ~Boxes() { platform::resetMsgBoxHandler(); }
    std::vector<QString> prompts;
    std::vector<int> buttons;
    std::vector<QString> titles;
};

const qint32 kKeyNotFound = caderr::KeyNotFound;
const qint32 kFrozen = caderr::FrozenLayerCurrent;

TEST(ErrorTrap, AFailureEndsTheHandlerWithTheBoxNamingIt) {
    Boxes boxes;
    int steps = 0;
    const bool done = ErrorTrap::trap(QStringLiteral("pr_oCmdView_Click"), [&] {
        ++steps;
        throw platform::AutomationError(kKeyNotFound, QStringLiteral("Key not found"));
        ++steps;
    });
    EXPECT_FALSE(done);
    EXPECT_EQ(steps, 1);
    ASSERT_EQ(boxes.prompts.size(), 1u);
    // A plain trap knows no stale drawing: the unexpected-error box with the number.
    EXPECT_EQ(boxes.prompts[0],
              ErrorReport::unexpectedErrorText(QStringLiteral("pr_oCmdView_Click"), kKeyNotFound,
                                               QStringLiteral("Key not found")));
    EXPECT_EQ(boxes.buttons[0], platform::vbOKOnly | platform::vbCritical);
    EXPECT_EQ(boxes.titles[0], QStringLiteral("KORVEL Ver4.00"));

    EXPECT_TRUE(ErrorTrap::trap(QStringLiteral("x"), [&] { ++steps; }));
    EXPECT_EQ(boxes.prompts.size(), 1u);
}

TEST(ErrorTrap, LayerCommandsReadAMissingLayerAsAStaleDrawing) {
    Boxes boxes;
    EXPECT_FALSE(ErrorTrap::trapLayerCommand(QStringLiteral("pr_oCmdLock_Click"), [] {
        throw platform::AutomationError(kKeyNotFound, QStringLiteral("Key not found"));
    }));
    ASSERT_EQ(boxes.prompts.size(), 1u);
    EXPECT_EQ(boxes.prompts[0], ErrorReport::staleDrawingText());
    EXPECT_EQ(boxes.buttons[0], platform::vbCritical);

    // Other numbers, and failures that carry none, still name the handler.
    ErrorTrap::trapLayerCommand(QStringLiteral("pr_oCmdLock_Click"),
                                [] { throw platform::VbError(5, QStringLiteral("bad")); });
    ErrorTrap::trapLayerCommand(QStringLiteral("pr_oCmdLock_Click"),
                                [] { throw std::runtime_error("out of memory"); });
    ASSERT_EQ(boxes.prompts.size(), 3u);
    EXPECT_TRUE(boxes.prompts[1].startsWith(
        QStringLiteral("予期せぬエラーが pr_oCmdLock_Click で発生しました。\r番号：5\r")));
    EXPECT_TRUE(boxes.prompts[2].contains(QStringLiteral("番号：51\r内容：out of memory")));
}

TEST(ErrorTrap, AHandlersOwnWordsForANumberComeBeforeTheBox) {
    Boxes boxes;
    int frozenReports = 0;
    const ErrorTrap::KnownError frozen{kFrozen, [&] { ++frozenReports; }};
    ErrorTrap::trapLayerCommand(
        QStringLiteral("pr_oImgOne_DblClick"),
        [] { throw platform::AutomationError(kFrozen, QStringLiteral("frozen")); }, {frozen});
    EXPECT_EQ(frozenReports, 1);
    EXPECT_TRUE(boxes.prompts.empty());

    // The stale drawing still stands beside the handler's own case.
    ErrorTrap::trapLayerCommand(QStringLiteral("pr_oImgOne_DblClick"),
                                [] { throw platform::AutomationError(kKeyNotFound, QString()); },
                                {frozen});
    EXPECT_EQ(frozenReports, 1);
    ASSERT_EQ(boxes.prompts.size(), 1u);
    EXPECT_EQ(boxes.prompts[0], ErrorReport::staleDrawingText());
}

TEST(ErrorTrap, SkippedStatementsFailAloneAndSilently) {
    Boxes boxes;
    std::vector<int> ran;
    for (int i = 1; i <= 4; ++i)
        ErrorTrap::skip([&] {
            if (i % 2 == 0)
                throw platform::AutomationError(kKeyNotFound, QString());
            ran.push_back(i);
        });
    EXPECT_EQ(ran, (std::vector<int>{1, 3}));
    EXPECT_TRUE(boxes.prompts.empty());
}

} // namespace
