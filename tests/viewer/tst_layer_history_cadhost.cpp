// The way back through the layer commands, driven as a user drives it (the commands'
// buttons and clicks, then Ctrl+Z, Ctrl+Y and Ctrl+Shift+Z on the window) against the
// real host, with the drawing read back through the host after every step.

#include "CadHostWindowTest.h"
#include "CountingConnector.h"

#include "acad/DBusBackend.h"
#include "platform/ErrorReport.h"
#include "platform/VbImage.h"
#include "platform/WindowSystem.h"

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QRadioButton>
#include <QScrollBar>
#include <QStyleHints>
#include <QTest>
#include <QToolBar>
#include <QUndoStack>

namespace {

using viewertest::StateMap;

class NoWindowSystem : public platform::WindowSystem {
public:
    std::uint32_t findWindow(const QString&) override { return 0; }
    void setForeground(std::uint32_t) override {}
    void setTopMost(std::uint32_t) override {}
};

class LayerHistoryTest : public viewertest::CadHostWindowTest {
protected:
    void SetUp() override {
        CadHostWindowTest::SetUp();
        counting = std::make_shared<korvel::test::CountingConnector>(connector);
        acad::setConnector(counting);
        platform::WindowSystem::setInstanceForTesting(std::make_unique<NoWindowSystem>());
    }
    void TearDown() override {
        platform::WindowSystem::setInstanceForTesting(nullptr);
        CadHostWindowTest::TearDown();
    }

    // The plan open and the window refreshed from every layer of it.
    // The tests click the tile of layer "0", the first: a click on a picture scrolls
    // the grid by the window's outer height, and only the first row never moves.
    void refresh() {
        openPlan();
        window.pu_subCmdRefresh_Click();
        for (const auto& b : boxes.boxes)
            ADD_FAILURE() << b.prompt.toStdString();
        boxes.boxes.clear();
        ASSERT_EQ(window.proDWFUBound(), viewertest::kLayers.size());
        window.activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
        // What the refresh left: the plan's own states.
        ASSERT_EQ(states(), before);
        counting->counts().clear();
    }

    void keys(Qt::Key k, Qt::KeyboardModifiers mods) {
        QTest::keyClick(&window, k, mods);
        QCoreApplication::processEvents();
    }
    void undo() { keys(Qt::Key_Z, Qt::ControlModifier); }
    // A refresh shows the status window for its length; the viewer is then active again,
    // as the desktop makes it.
    void refreshAgain() {
        window.pu_subCmdRefresh_Click();
        window.activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
    }
    void redo() { keys(Qt::Key_Y, Qt::ControlModifier); }

    QPoint at(QWidget* control) { return control->mapTo(&window, control->rect().center()); }
    void settle() { QTest::qWait(QGuiApplication::styleHints()->mouseDoubleClickInterval() + 20); }
    void clickOn(QWidget* control) {
        settle();
        ASSERT_EQ(window.childAt(at(control)), control) << control->objectName().toStdString();
        QTest::mouseClick(window.windowHandle(), Qt::LeftButton, Qt::NoModifier, at(control));
    }
    void doubleClickOn(QWidget* control) {
        settle();
        ASSERT_EQ(window.childAt(at(control)), control) << control->objectName().toStdString();
        QTest::mouseDClick(window.windowHandle(), Qt::LeftButton, Qt::NoModifier, at(control));
    }
    void button(QAction* action) {
        auto* widget = qobject_cast<QAbstractButton*>(window.Toolbar1->widgetForAction(action));
        ASSERT_TRUE(widget);
        QTest::mouseClick(widget, Qt::LeftButton);
    }
    clsDWF& tileNamed(const QString& name) { return tile(tileOf(name)); }

    // Every tile shows what the drawing has now.
    void expectTilesShowTheDrawing() {
        const StateMap now = states();
        for (int i = 1; i <= window.proDWFUBound(); ++i) {
            const QString name = tile(i).sLayerName();
            SCOPED_TRACE(name.toStdString());
            const viewertest::States s = now.at(name);
            EXPECT_EQ(tile(i).bLayerOn(), s.on);
            EXPECT_EQ(tile(i).bAllViewportFreaze(), s.frozen);
            EXPECT_EQ(tile(i).bLock(), s.locked);
            EXPECT_EQ(tile(i).CmdView()->Picture(),
                      (s.on ? window.CmdViewOn : window.CmdViewOff)->Picture());
        }
    }
    int regens() { return counting->counts()[QStringLiteral("Regen")]; }
    std::shared_ptr<acad::DBusDocumentBackend> hostDocument() {
        return std::dynamic_pointer_cast<acad::DBusDocumentBackend>(
            std::dynamic_pointer_cast<acad::DBusApplicationBackend>(host)->activeDocument());
    }

    std::shared_ptr<korvel::test::CountingConnector> counting;
};

TEST_F(LayerHistoryTest, ExclusiveViewIsTakenBackExactlyAndDoneAgain) {
    refresh();
    window.OptDblClickExclusiveView->setChecked(true);
    doubleClickOn(tileNamed(QStringLiteral("0")).ImgOne());
    StateMap alone = before;
    for (auto& [name, s] : alone)
        s.on = name == QStringLiteral("0");
    ASSERT_EQ(states(), alone);
    EXPECT_EQ(window.layerSteps()->count(), 1);
    EXPECT_TRUE(window.undoButton()->isEnabled());
    EXPECT_EQ(window.undoButton()->toolTip(), QStringLiteral("元に戻す（排他表示）"));
    EXPECT_FALSE(window.redoButton()->isEnabled());

    counting->counts().clear();
    undo();
    // Every layer as it was, frozen and locked ones too, the off current layer off.
    EXPECT_EQ(states(), before);
    EXPECT_EQ(regens(), 1);
    expectTilesShowTheDrawing();
    EXPECT_EQ(window.redoButton()->toolTip(), QStringLiteral("やり直し（排他表示）"));
    EXPECT_FALSE(window.undoButton()->isEnabled());

    counting->counts().clear();
    redo();
    EXPECT_EQ(states(), alone);
    EXPECT_EQ(regens(), 1);
    expectTilesShowTheDrawing();
    // Ctrl+Shift+Z is the other way to do a step again.
    undo();
    EXPECT_EQ(states(), before);
    keys(Qt::Key_Z, Qt::ControlModifier | Qt::ShiftModifier);
    EXPECT_EQ(states(), alone);
    EXPECT_TRUE(boxes.boxes.empty());
}

TEST_F(LayerHistoryTest, ATilesThreeButtonsComeBackOneStepAtATime) {
    refresh();
    clsDWF& zero = tileNamed(QStringLiteral("0"));
    clickOn(zero.CmdView());
    clickOn(zero.CmdFreeze());
    clickOn(zero.CmdLock());
    ASSERT_EQ(states().at("0"), (viewertest::States{false, true, true}));
    ASSERT_EQ(window.layerSteps()->count(), 3);
    EXPECT_EQ(window.undoButton()->toolTip(), QStringLiteral("元に戻す（ロック）"));

    undo();
    EXPECT_EQ(states().at("0"), (viewertest::States{false, true, false}));
    EXPECT_EQ(zero.CmdLock()->Picture(), window.CmdLockOff->Picture());
    EXPECT_EQ(window.undoButton()->toolTip(), QStringLiteral("元に戻す（フリーズ）"));
    undo();
    EXPECT_EQ(states().at("0"), (viewertest::States{false, false, false}));
    EXPECT_EQ(zero.CmdFreeze()->Picture(), window.CmdFreezeOff->Picture());
    undo();
    EXPECT_EQ(states(), before);
    expectTilesShowTheDrawing();
    // Nothing left to take back: a fourth Ctrl+Z changes nothing.
    counting->counts().clear();
    undo();
    EXPECT_EQ(counting->counts().total(), 0);

    // The tile's cache follows the step back, so its next click toggles from the truth.
    clickOn(zero.CmdView());
    EXPECT_FALSE(states().at("0").on);
    // A new command drops the steps that were taken back.
    EXPECT_EQ(window.layerSteps()->count(), 1);
    EXPECT_EQ(window.undoButton()->toolTip(), QStringLiteral("元に戻す（画層非表示）"));
    EXPECT_TRUE(boxes.boxes.empty());
}

TEST_F(LayerHistoryTest, MakeCurrentAndListCommandsAreStepsToo) {
    refresh();
    window.OptDblClickActive->setChecked(true);
    doubleClickOn(tileNamed(QStringLiteral("0")).ImgOne());
    ASSERT_EQ(doc->ActiveLayer().Name(), QStringLiteral("0"));
    EXPECT_EQ(window.undoButton()->toolTip(), QStringLiteral("元に戻す（現在層）"));
    // The list's selection turned off: only the selected layers are in the step.
    window.LstLayers->clearSelection();
    window.LstLayers->setSelected(int(listItems().indexOf(QStringLiteral("gamma"))), true);
    window.Toolbar1_ButtonClick(12);
    window.Toolbar1_ButtonClick(15);
    StateMap allOff = before;
    for (auto& [name, s] : allOff)
        s.on = false;
    ASSERT_EQ(states(), allOff);
    EXPECT_EQ(window.undoButton()->toolTip(), QStringLiteral("元に戻す（全画層非表示）"));

    undo();
    StateMap betaOff = before;
    betaOff["gamma"].on = false;
    EXPECT_EQ(states(), betaOff);
    EXPECT_EQ(window.undoButton()->toolTip(), QStringLiteral("元に戻す（選択画層非表示）"));
    undo();
    EXPECT_EQ(states(), before);
    undo();
    EXPECT_EQ(doc->ActiveLayer().Name(), QStringLiteral("Cur"));
    // Every tile marks the current layer again: the red bar is back on "Cur".
    EXPECT_EQ(tileNamed(QStringLiteral("Cur")).FraBar()->BackColor(), 0x0000FFu);
    EXPECT_NE(tileNamed(QStringLiteral("0")).FraBar()->BackColor(), 0x0000FFu);
    redo();
    EXPECT_EQ(doc->ActiveLayer().Name(), QStringLiteral("0"));
    EXPECT_TRUE(boxes.boxes.empty());
}

TEST_F(LayerHistoryTest, ARefreshKeepsTheStepsOfTheSameDrawingAndDropsThoseOfAnother) {
    refresh();
    window.Toolbar1_ButtonClick(15); // all off
    refreshAgain();
    ASSERT_TRUE(boxes.boxes.empty());
    ASSERT_EQ(window.layerSteps()->count(), 1);
    undo();
    EXPECT_EQ(states(), before);
    expectTilesShowTheDrawing();

    // A layer deleted in the CAD since: the step puts the rest back and says once that
    // the drawing changed.
    redo();
    hostDocument()->deleteLayer(QStringLiteral("Empty"));
    refreshAgain();
    ASSERT_TRUE(boxes.boxes.empty());
    ASSERT_EQ(window.layerSteps()->count(), 1);
    undo();
    StateMap rest = before;
    rest.erase(QStringLiteral("Empty"));
    EXPECT_EQ(states(), rest);
    ASSERT_EQ(boxes.boxes.size(), 1u);
    EXPECT_EQ(boxes.boxes[0].prompt, ErrorReport::staleDrawingText());
    EXPECT_EQ(boxes.boxes[0].buttons, platform::vbOKOnly | platform::vbCritical);
    boxes.boxes.clear();

    // Another drawing: nothing to take back into it.
    korvel::test::DxfFixture other;
    other.addLayer(QStringLiteral("0"));
    other.addLayer(QStringLiteral("Walls"), 1);
    other.addLine(QStringLiteral("Walls"), 0, 0, 10, 10);
    const QString otherPath = drawings.filePath(QStringLiteral("other.dxf"));
    ASSERT_TRUE(other.write(otherPath));
    std::dynamic_pointer_cast<acad::DBusApplicationBackend>(host)->open(otherPath);
    refreshAgain();
    ASSERT_TRUE(boxes.boxes.empty());
    EXPECT_EQ(window.layerSteps()->count(), 0);
    EXPECT_FALSE(window.undoButton()->isEnabled());
    EXPECT_EQ(window.undoButton()->toolTip(), QStringLiteral("元に戻す"));
}

TEST_F(LayerHistoryTest, ACommandStoppedPartWayIsTakenBackExactly) {
    refresh();
    // The chosen layer goes from the drawing after the refresh: the exclusive view
    // turns every layer off, then fails on the chosen one.
    hostDocument()->deleteLayer(QStringLiteral("Empty"));
    StateMap rest = before;
    rest.erase(QStringLiteral("Empty"));
    window.OptDblClickExclusiveView->setChecked(true);
    clsDWF& empty = tileNamed(QStringLiteral("Empty"));
    window.ScrBarV->setValue(empty.iRow()); // its row at the grid's top
    doubleClickOn(empty.ImgOne());
    ASSERT_EQ(boxes.boxes.size(), 1u);
    EXPECT_EQ(boxes.boxes[0].prompt, ErrorReport::staleDrawingText());
    boxes.boxes.clear();
    StateMap off = rest;
    for (auto& [name, s] : off)
        s.on = false;
    ASSERT_EQ(states(), off);
    ASSERT_EQ(window.layerSteps()->count(), 1);

    // The step holds what was done, nothing of the layer that failed. Each way, the
    // tiles re-read their layers, and the tile whose layer went says so as any re-read
    // of a stale grid does, until the next refresh.
    undo();
    EXPECT_EQ(states(), rest);
    redo();
    EXPECT_EQ(states(), off);
    ASSERT_EQ(boxes.boxes.size(), 2u);
    for (const auto& b : boxes.boxes)
        EXPECT_TRUE(b.prompt.contains(QStringLiteral("SetLayerState"))) << b.prompt.toStdString();
}

} // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
