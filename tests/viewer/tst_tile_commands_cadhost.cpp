// The tiles' commands driven as a user drives them (clicks on a tile's buttons, presses
// and double clicks on its picture, a linetype chosen in its box) against the real
// host, with the drawing read back through the host after every action.

#include "CadHostWindowTest.h"
#include "CountingConnector.h"

#include "acad/DBusBackend.h"
#include "platform/ErrorReport.h"
#include "platform/VbImage.h"
#include "platform/VbListBox.h"
#include "platform/VbTextBox.h"
#include "platform/WindowSystem.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QComboBox>
#include <QRadioButton>
#include <QStyleHints>
#include <QTest>

namespace {

class RecordingWindowSystem : public platform::WindowSystem {
public:
    std::uint32_t findWindow(const QString&) override { return 0; }
    void setForeground(std::uint32_t w) override { foreground.push_back(w); }
    void setTopMost(std::uint32_t) override {}
    std::vector<std::uint32_t> foreground;
};

class TileCommandsTest : public viewertest::CadHostWindowTest {
protected:
    void SetUp() override {
        CadHostWindowTest::SetUp();
        counting = std::make_shared<korvel::test::CountingConnector>(connector);
        acad::setConnector(counting);
        auto ws = std::make_unique<RecordingWindowSystem>();
        windows = ws.get();
        platform::WindowSystem::setInstanceForTesting(std::move(ws));
    }
    void TearDown() override {
        platform::WindowSystem::setInstanceForTesting(nullptr);
        CadHostWindowTest::TearDown();
    }

    // The plan open and the window refreshed from a list of two layers, whose tiles
    // stand side by side in the first row.
    void refresh(const QStringList& listed) {
        openPlan();
        refreshFromList(listed);
        for (const auto& b : boxes.boxes)
            ADD_FAILURE() << b.prompt.toStdString();
        boxes.boxes.clear();
        ASSERT_EQ(window.proDWFUBound(), 2);
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
        counting->counts().clear();
    }

    // Mouse actions through the window system, as a user's arrive.
    QPoint at(QWidget* control) { return control->mapTo(&window, control->rect().center()); }
    void clickOn(QWidget* control, Qt::KeyboardModifiers mods = Qt::NoModifier) {
        settle();
        ASSERT_EQ(window.childAt(at(control)), control) << control->objectName().toStdString();
        QTest::mouseClick(window.windowHandle(), Qt::LeftButton, mods, at(control));
    }
    void doubleClickOn(QWidget* control) {
        settle();
        QTest::mouseDClick(window.windowHandle(), Qt::LeftButton, Qt::NoModifier, at(control));
    }
    // Two clicks on one control in a row would read as a double click.
    void settle() { QTest::qWait(QGuiApplication::styleHints()->mouseDoubleClickInterval() + 20); }

    int regens() { return counting->counts()[QStringLiteral("Regen")]; }

    std::shared_ptr<korvel::test::CountingConnector> counting;
    RecordingWindowSystem* windows = nullptr;
};

TEST_F(TileCommandsTest, StateButtonsSwitchTheLayerInTheHostAndBack) {
    refresh({"Walls", "Doors"});
    clsDWF& doors = tile(1);
    clsDWF& walls = tile(2);
    ASSERT_EQ(walls.sLayerName(), QStringLiteral("Walls"));

    clickOn(walls.CmdView());
    EXPECT_FALSE(states().at("Walls").on);
    EXPECT_EQ(walls.CmdView()->Picture(), window.CmdViewOff->Picture());
    EXPECT_EQ(regens(), 1);
    clickOn(walls.CmdView());
    EXPECT_TRUE(states().at("Walls").on);
    EXPECT_EQ(walls.CmdView()->Picture(), window.CmdViewOn->Picture());

    clickOn(doors.CmdFreeze()); // thawed
    EXPECT_FALSE(states().at("Doors").frozen);
    EXPECT_EQ(doors.CmdFreeze()->Picture(), window.CmdFreezeOff->Picture());
    clickOn(walls.CmdLock());
    EXPECT_TRUE(states().at("Walls").locked);
    EXPECT_EQ(regens(), 4);
    // The swatch changes nothing.
    clickOn(walls.CmdColor());
    EXPECT_EQ(regens(), 4);
    EXPECT_TRUE(boxes.boxes.empty());
}

TEST_F(TileCommandsTest, ALinetypeChosenInTheBoxBecomesTheLayers) {
    refresh({"Walls", "Beta"});
    QComboBox* box = tile(1).CboLineType(); // Beta, on the template's drop-down list
    const int dashed = box->findText(QStringLiteral("DASHED"), Qt::MatchFixedString);
    ASSERT_GE(dashed, 0);
    // Chosen as a user chooses: the list opened, the item clicked.
    box->showPopup();
    QAbstractItemView* list = box->view();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(list->window()));
    QTest::mouseClick(list->viewport(), Qt::LeftButton, Qt::NoModifier,
                      list->visualRect(list->model()->index(dashed, 0)).center());
    EXPECT_EQ(doc->Layers().Item(QStringLiteral("Beta")).Linetype().toUpper(),
              QStringLiteral("DASHED"));
    EXPECT_EQ(regens(), 1);
    // The tiles' re-read sets the boxes without writing anything.
    counting->counts().clear();
    window.pu_subCtrlViewUpdate();
    EXPECT_EQ(counting->counts()[QStringLiteral("SetLayerProperty")], 0);
}

TEST_F(TileCommandsTest, DoubleClickMakesTheLayerCurrentAndRaisesTheCad) {
    refresh({"Walls", "Doors"});
    pu_lnAcadHwnd = 4242;
    doubleClickOn(tile(2).ImgOne()); // Walls
    EXPECT_EQ(doc->ActiveLayer().Name(), QStringLiteral("Walls"));
    EXPECT_EQ(tile(2).FraBar()->BackColor(), 0xFFu);
    EXPECT_NE(tile(1).FraBar()->BackColor(), 0xFFu);
    ASSERT_FALSE(windows->foreground.empty());
    EXPECT_EQ(windows->foreground.back(), 4242u);
    // The press and the click came first: the tile is selected, its layer the list's.
    EXPECT_TRUE(tile(2).isSelected());
    EXPECT_TRUE(window.LstLayers->Selected(1));
    EXPECT_FALSE(window.LstLayers->Selected(0));

    // A frozen layer cannot be current: its message, and the current layer stays.
    doubleClickOn(tile(1).ImgOne()); // Doors, frozen
    ASSERT_EQ(boxes.boxes.size(), 1u);
    EXPECT_EQ(boxes.boxes[0].prompt,
              QStringLiteral("フリーズされた画層をアクティブにすることはできません\r"));
    EXPECT_EQ(doc->ActiveLayer().Name(), QStringLiteral("Walls"));
}

TEST_F(TileCommandsTest, DoubleClickShowsTheLayerAloneKeepingItsFreeze) {
    refresh({"Walls", "Doors"});
    window.OptDblClickExclusiveView->setChecked(true);
    doubleClickOn(tile(1).ImgOne()); // Doors, frozen
    const viewertest::StateMap now = states();
    for (const auto& [name, state] : now) {
        EXPECT_EQ(state.on, name == QStringLiteral("Doors")) << name.toStdString();
        EXPECT_EQ(state.frozen, before.at(name).frozen) << name.toStdString();
    }
    EXPECT_FALSE(now.at("Cur").on); // the current layer too
    EXPECT_EQ(regens(), 1);
    // Every tile read its state again.
    EXPECT_FALSE(tile(2).bLayerOn());
    EXPECT_TRUE(tile(1).bLayerOn());
    EXPECT_TRUE(boxes.boxes.empty());
}

TEST_F(TileCommandsTest, ALayerDeletedInTheHostGivesTheStaleDrawingMessage) {
    refresh({"Empty", "Beta"});
    clsDWF& empty = tile(2);
    ASSERT_TRUE(empty.bLayerOn());
    std::dynamic_pointer_cast<acad::DBusDocumentBackend>(
        std::dynamic_pointer_cast<acad::DBusApplicationBackend>(host)->activeDocument())
        ->deleteLayer(QStringLiteral("Empty"));
    clickOn(empty.CmdView());
    ASSERT_EQ(boxes.boxes.size(), 1u);
    EXPECT_EQ(boxes.boxes[0].prompt, ErrorReport::staleDrawingText());
    // The tile still shows what the drawing last had: on.
    EXPECT_TRUE(empty.bLayerOn());
    EXPECT_EQ(empty.CmdView()->Picture(), window.CmdViewOn->Picture());
}

TEST_F(TileCommandsTest, PressesSelectTilesAndAClickSelectsTheLayerInTheList) {
    refresh({"Walls", "Doors"});
    settle();
    QTest::mousePress(window.windowHandle(), Qt::LeftButton, Qt::NoModifier, at(tile(1).ImgOne()));
    EXPECT_TRUE(tile(1).isSelected());
    EXPECT_FALSE(tile(2).isSelected());
    QTest::mouseRelease(window.windowHandle(), Qt::LeftButton, Qt::NoModifier,
                        at(tile(1).ImgOne()));
    EXPECT_TRUE(window.LstLayers->Selected(0));
    EXPECT_FALSE(window.LstLayers->Selected(1));

    // Shift alone adds the other tile while pressed; its click then makes its layer the
    // list's only one, and the tiles follow the list.
    settle();
    QTest::mousePress(window.windowHandle(), Qt::LeftButton, Qt::ShiftModifier,
                      at(tile(2).ImgOne()));
    EXPECT_TRUE(tile(1).isSelected());
    EXPECT_TRUE(tile(2).isSelected());
    QTest::mouseRelease(window.windowHandle(), Qt::LeftButton, Qt::ShiftModifier,
                        at(tile(2).ImgOne()));
    EXPECT_FALSE(window.LstLayers->Selected(0));
    EXPECT_TRUE(window.LstLayers->Selected(1));
    EXPECT_FALSE(tile(1).isSelected());
    EXPECT_TRUE(tile(2).isSelected());
    EXPECT_EQ(tile(2).TxtOne()->BackColor(), 0x800000u);

    // Ctrl, or Shift with Ctrl, starts the selection anew like no key.
    for (const auto mods : {Qt::KeyboardModifiers(Qt::ControlModifier),
                            Qt::KeyboardModifiers(Qt::ShiftModifier | Qt::ControlModifier)}) {
        tile(1).ResetSelect();
        tile(2).SelectView();
        settle();
        QTest::mousePress(window.windowHandle(), Qt::LeftButton, mods, at(tile(1).ImgOne()));
        EXPECT_TRUE(tile(1).isSelected());
        EXPECT_FALSE(tile(2).isSelected());
        QTest::mouseRelease(window.windowHandle(), Qt::LeftButton, mods, at(tile(1).ImgOne()));
    }
    EXPECT_TRUE(boxes.boxes.empty());
}

} // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
