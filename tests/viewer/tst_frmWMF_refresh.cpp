// The refresh button as far as the frame takes it: connect, take the drawing, load the
// macro project, bring the CAD and then this window to the front; every outcome of the
// connection and every failure after it.

#include "viewer/frmWMF.h"

#include "ViewerTestSupport.h"
#include "acad/basAcadConnect.h"
#include "app/frmSplash.h"
#include "platform/WindowSystem.h"

#include <QApplication>
#include <QDir>

using viewertest::FakeApplication;
using viewertest::FakeConnector;

namespace {

class RecordingWindowSystem : public platform::WindowSystem {
public:
    std::uint32_t findWindow(const QString& title) override {
        searched << title;
        return title == knownTitle ? knownWindow : 0;
    }
    void setForeground(std::uint32_t w) override { foreground.push_back(w); }
    void setTopMost(std::uint32_t w) override { topMost.push_back(w); }

    QString knownTitle;
    std::uint32_t knownWindow = 0;
    QStringList searched;
    std::vector<std::uint32_t> foreground;
    std::vector<std::uint32_t> topMost;
};

// The stub drawing was never saved, so a refresh that got through connecting,
// loading the project and raising the windows stops at the saved check with its
// warning. Seeing that box, and no other, tells the connection steps all passed.
bool stoppedAtSavedCheck(const std::vector<viewertest::ShownBox>& shown) {
    return !shown.empty() &&
           shown.back().prompt.startsWith(QStringLiteral("『 plan.dxf 』は保存されていません。")) &&
           shown.back().buttons == (platform::vbOKOnly | platform::vbExclamation);
}

class RefreshTest : public ::testing::Test {
protected:
    void SetUp() override {
        connector = std::make_shared<FakeConnector>();
        acad::setConnector(connector);
        auto ws = std::make_unique<RecordingWindowSystem>();
        windows = ws.get();
        platform::WindowSystem::setInstanceForTesting(std::move(ws));
        pu_oAcadApp.reset();
        pu_oAcadDoc.reset();
        pu_lnAcadHwnd = 0;
    }
    void TearDown() override {
        acad::resetConnector();
        platform::WindowSystem::setInstanceForTesting(nullptr);
        frmSplash::Unload();
        pu_oAcadApp.reset();
        pu_oAcadDoc.reset();
    }

    viewertest::ScratchProgramFolder folder;
    viewertest::MsgBoxRecorder boxes;
    std::shared_ptr<FakeConnector> connector;
    RecordingWindowSystem* windows = nullptr;
    frmWMF window;
};

TEST_F(RefreshTest, RunningCadIsJoinedItsProjectLoadedAndBothWindowsRaised) {
    auto cad = std::make_shared<FakeApplication>();
    connector->running = cad;
    windows->knownTitle = cad->captionText;
    windows->knownWindow = 4242;

    window.pu_subCmdRefresh_Click();

    ASSERT_EQ(boxes.boxes.size(), 1u);
    EXPECT_TRUE(stoppedAtSavedCheck(boxes.boxes));
    EXPECT_EQ(connector->createCalls, 0);
    EXPECT_TRUE(pu_oAcadDoc != nullptr);
    EXPECT_EQ(cad->loadedProjects, QStringList{folder.path() + QStringLiteral("/TARNIX.dvb")});
    EXPECT_EQ(windows->searched, QStringList{cad->captionText});
    EXPECT_EQ(pu_lnAcadHwnd, 4242u);
    ASSERT_EQ(windows->foreground.size(), 2u);
    EXPECT_EQ(windows->foreground[0], 4242u);
    EXPECT_EQ(windows->foreground[1], window.hWnd());
}

TEST_F(RefreshTest, CadWindowNotFoundLeavesHandleZeroAndRaisesOnlyTheViewer) {
    connector->running = std::make_shared<FakeApplication>();
    pu_lnAcadHwnd = 77; // from an earlier refresh
    window.pu_subCmdRefresh_Click();
    EXPECT_EQ(pu_lnAcadHwnd, 0u);
    EXPECT_EQ(windows->foreground, std::vector<std::uint32_t>{window.hWnd()});
    ASSERT_EQ(boxes.boxes.size(), 1u);
    EXPECT_TRUE(stoppedAtSavedCheck(boxes.boxes));
}

TEST_F(RefreshTest, DecliningToStartTheCadEndsQuietly) {
    boxes.answers = {platform::vbNo};
    window.pu_subCmdRefresh_Click();
    ASSERT_EQ(boxes.boxes.size(), 1u); // the question only
    EXPECT_EQ(boxes.boxes[0].buttons, platform::vbYesNo | platform::vbExclamation);
    EXPECT_EQ(connector->createCalls, 0);
    EXPECT_FALSE(pu_oAcadApp);
    EXPECT_TRUE(windows->foreground.empty());
}

TEST_F(RefreshTest, FailedStartShowsNotFoundUnderTheErrorTitle) {
    boxes.answers = {platform::vbYes};
    window.pu_subCmdRefresh_Click();
    ASSERT_EQ(boxes.boxes.size(), 2u);
    EXPECT_EQ(connector->createCalls, 1);
    const auto& box = boxes.boxes[1];
    EXPECT_EQ(box.prompt,
              QStringLiteral("AutoCADが見つかりません。AutoCADを起動してから試して下さい。"));
    EXPECT_EQ(box.title, QStringLiteral("404 Not Find AutoCAD.Application"));
    EXPECT_EQ(box.buttons, platform::vbOKOnly | platform::vbCritical);
    EXPECT_FALSE(frmSplash::isLoaded());
}

TEST_F(RefreshTest, StartedCadIsMadeVisibleAndUsed) {
    auto cad = std::make_shared<FakeApplication>();
    cad->isVisible = false;
    connector->started = cad;
    boxes.answers = {platform::vbYes};
    window.pu_subCmdRefresh_Click();
    EXPECT_TRUE(cad->isVisible);
    EXPECT_EQ(cad->loadedProjects.size(), 1);
    ASSERT_EQ(boxes.boxes.size(), 2u); // the question, then the saved check
    EXPECT_TRUE(stoppedAtSavedCheck(boxes.boxes));
}

// Counts the paints of the status window, whatever it is made of.
class SplashPaints : public QObject {
public:
    bool eventFilter(QObject* watched, QEvent* event) override {
        auto* widget = qobject_cast<QWidget*>(watched);
        if (event->type() == QEvent::Paint && widget &&
            widget->window()->objectName() == QStringLiteral("frmSplash"))
            ++count;
        return false;
    }
    int count = 0;
};

TEST_F(RefreshTest, TheStatusWindowIsPaintedBeforeTheWaitForTheCadBegins) {
    auto cad = std::make_shared<FakeApplication>();
    connector->started = cad;
    boxes.answers = {platform::vbYes};
    SplashPaints paints;
    qApp->installEventFilter(&paints);
    int paintedWhenWaiting = -1;
    QString shownWhenWaiting;
    connector->onCreate = [&] {
        paintedWhenWaiting = paints.count;
        shownWhenWaiting = frmSplash::message();
    };
    window.pu_subCmdRefresh_Click();
    qApp->removeEventFilter(&paints);
    EXPECT_EQ(shownWhenWaiting, QStringLiteral("AutoCAD起動中．．．"));
    EXPECT_GT(paintedWhenWaiting, 0);
}

TEST_F(RefreshTest, FailuresAfterConnectingShowTheUnexpectedErrorBox) {
    struct Case {
        const char* what;
        bool noDrawing;
        bool failLoad;
        qint32 number;
    } cases[] = {
        {"no drawing open", true, false, static_cast<qint32>(0x80040000u)},
        {"macro project missing", false, true, static_cast<qint32>(0x80004005u)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        boxes.boxes.clear();
        auto cad = std::make_shared<FakeApplication>();
        cad->noDrawing = c.noDrawing;
        cad->failLoad = c.failLoad;
        connector->running = cad;
        window.pu_subCmdRefresh_Click();
        ASSERT_EQ(boxes.boxes.size(), 1u);
        const auto& box = boxes.boxes[0];
        EXPECT_EQ(box.title, QStringLiteral("KORVEL Ver4.00"));
        EXPECT_EQ(box.buttons, platform::vbOKOnly | platform::vbCritical);
        EXPECT_TRUE(box.prompt.startsWith(
            QStringLiteral("予期せぬエラーが CmdRefresh_Click で発生しました。\r番号：") +
            QString::number(c.number) + QStringLiteral("\r内容：")));
        // Nothing after the failing step ran.
        EXPECT_EQ(cad->captionCalls, 0);
    }
}

TEST_F(RefreshTest, ToolbarRefreshDisablesTheWindowWhileItRunsAndRaisesItAfter) {
    window.show();
    connector->running = std::make_shared<FakeApplication>();
    bool enabledDuring = true;
    connector->onAttach = [&] { enabledDuring = window.isEnabled(); };

    window.toolbarButton(7)->trigger();

    EXPECT_EQ(connector->attachCalls, 1);
    EXPECT_FALSE(enabledDuring);
    EXPECT_TRUE(window.isEnabled());
    ASSERT_FALSE(windows->foreground.empty());
    EXPECT_EQ(windows->foreground.back(), window.hWnd());
}

TEST_F(RefreshTest, ToolbarRefreshReEnablesTheWindowAfterAFailure) {
    window.show();
    boxes.answers = {platform::vbYes};
    window.Toolbar1_ButtonClick(7);
    EXPECT_EQ(boxes.boxes.size(), 2u);
    EXPECT_TRUE(window.isEnabled());
}

} // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
