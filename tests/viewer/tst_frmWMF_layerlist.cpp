// The layer list and the commands on its layers, driven as a user drives them (mouse
// clicks and keys in the list, clicks on the toolbar) against the real host, with the
// drawing read back through the host after every action.

#include "CadHostWindowTest.h"
#include "CountingConnector.h"

#include "platform/ControlGeometry.h"
#include "platform/VbFrame.h"
#include "platform/VbTextBox.h"

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QScrollBar>
#include <QTest>
#include <QToolBar>

using platform::ControlGeometry;

namespace {

// The list as the refresh of the plan fills it, sorted without regard to case.
const QStringList kSorted = {"0",     "alpha", "Beta", "Cur",    "Dims", "Doors",
                             "Empty", "gamma", "Gone", "Hidden", "Text", "Walls"};

constexpr int kSelectedOn = 11;
constexpr int kSelectedOff = 12;
constexpr int kRemove = 13;
constexpr int kAllOn = 14;
constexpr int kAllOff = 15;

class LayerListTest : public viewertest::CadHostWindowTest {
protected:
    void SetUp() override {
        CadHostWindowTest::SetUp();
        counting = std::make_shared<korvel::test::CountingConnector>(connector);
        acad::setConnector(counting);
        QObject::connect(window.LstLayers, &platform::VbListBox::Click, &window,
                         [this] { ++clicks; });
    }

    // The plan open and the window refreshed from it: every layer, or those of a list.
    void refresh(const QStringList& listed = {}) {
        openPlan();
        if (listed.isEmpty())
            window.pu_subCmdRefresh_Click();
        else
            refreshFromList(listed);
        for (const auto& b : boxes.boxes)
            ADD_FAILURE() << b.prompt.toStdString();
        boxes.boxes.clear();
        ASSERT_GT(window.proDWFUBound(), 0);
        counting->counts().clear();
        clicks = 0;
    }

    void click(int row, Qt::KeyboardModifiers mods = Qt::NoModifier) {
        QListWidgetItem* item = window.LstLayers->item(row);
        ASSERT_TRUE(item) << row;
        window.LstLayers->scrollToItem(item);
        QTest::mouseClick(window.LstLayers->viewport(), Qt::LeftButton, mods,
                          window.LstLayers->visualItemRect(item).center());
    }
    void key(Qt::Key k, Qt::KeyboardModifiers mods = Qt::NoModifier) {
        QTest::keyClick(window.LstLayers, k, mods);
    }
    // A real click on the toolbar's button.
    void button(int index) {
        QAction* action = window.toolbarButton(index);
        ASSERT_TRUE(action);
        auto* widget = qobject_cast<QAbstractButton*>(window.Toolbar1->widgetForAction(action));
        ASSERT_TRUE(widget) << index;
        QTest::mouseClick(widget, Qt::LeftButton);
    }

    QList<int> selectedRows() {
        QList<int> rows;
        for (int i = 0; i < window.LstLayers->ListCount(); ++i)
            if (window.LstLayers->Selected(i))
                rows << i;
        return rows;
    }
    QList<int> markedTiles() {
        QList<int> marked;
        for (int i = 1; i <= window.proDWFUBound(); ++i)
            if (tile(i).isSelected())
                marked << i;
        return marked;
    }
    bool on(const QString& name) { return doc->Layers().Item(name).LayerOn(); }
    // Every tile shows what the drawing has now.
    void expectTilesShowTheDrawing() {
        for (int i = 1; i <= window.proDWFUBound(); ++i) {
            SCOPED_TRACE(tile(i).sLayerName().toStdString());
            EXPECT_EQ(tile(i).bLayerOn(), on(tile(i).sLayerName()));
            EXPECT_EQ(tile(i).CmdView()->Picture(),
                      window.statePicture(tile(i).bLayerOn() ? TileHost::StatePicture::ViewOn
                                                             : TileHost::StatePicture::ViewOff));
            EXPECT_TRUE(tile(i).eventsEnabled());
        }
    }
    // The states before, with the named layers' on state changed.
    viewertest::StateMap with(viewertest::StateMap map, const QStringList& names, bool bOn) {
        for (const QString& name : names)
            map[name].on = bOn;
        return map;
    }
    int regens() { return counting->counts()[QStringLiteral("Regen")]; }

    std::shared_ptr<korvel::test::CountingConnector> counting;
    int clicks = 0;
};

TEST_F(LayerListTest, CtrlAExactlySelectsEveryItemAndMarksEveryTile) {
    refresh();
    ASSERT_EQ(listItems(), kSorted);
    click(2);
    ASSERT_EQ(selectedRows(), QList<int>{2});

    // Neither the letter alone (it only finds the next item starting with it) nor
    // with more modifiers than Ctrl selects them all.
    for (const Qt::KeyboardModifiers mods :
         {Qt::KeyboardModifiers(Qt::NoModifier), Qt::ControlModifier | Qt::ShiftModifier,
          Qt::ControlModifier | Qt::AltModifier, Qt::KeyboardModifiers(Qt::AltModifier),
          Qt::KeyboardModifiers(Qt::ShiftModifier)}) {
        SCOPED_TRACE(int(mods));
        key(Qt::Key_A, mods);
        EXPECT_LE(selectedRows().size(), 1);
        EXPECT_LE(markedTiles().size(), 1);
    }

    click(5);
    clicks = 0;
    key(Qt::Key_A, Qt::ControlModifier);
    QList<int> all;
    for (int i = 0; i < kSorted.size(); ++i)
        all << i;
    EXPECT_EQ(selectedRows(), all);
    // One click for the key, which marks every tile.
    EXPECT_EQ(clicks, 1);
    EXPECT_EQ(markedTiles().size(), kSorted.size());
    // Selecting is not a command on the drawing.
    EXPECT_EQ(counting->counts().total(), 0);
    EXPECT_EQ(states(), before);
}

TEST_F(LayerListTest, EveryClickMarksExactlyTheTilesOfTheSelectedItems) {
    refresh();
    click(1);
    EXPECT_EQ(markedTiles(), QList<int>{2});
    click(4, Qt::ShiftModifier);
    EXPECT_EQ(selectedRows(), (QList<int>{1, 2, 3, 4}));
    EXPECT_EQ(markedTiles(), (QList<int>{2, 3, 4, 5}));
    click(2, Qt::ControlModifier);
    EXPECT_EQ(markedTiles(), (QList<int>{2, 4, 5}));
    click(9, Qt::ControlModifier);
    EXPECT_EQ(markedTiles(), (QList<int>{2, 4, 5, 10}));
    // A key that moves the selection is a click too.
    key(Qt::Key_Down);
    EXPECT_EQ(selectedRows(), QList<int>{10});
    EXPECT_EQ(markedTiles(), QList<int>{11});
    EXPECT_EQ(clicks, 5);
    // The marks show on the tiles' titles.
    EXPECT_NE(tile(11).TxtOne()->BackColor(), tile(1).TxtOne()->BackColor());
    EXPECT_TRUE(boxes.boxes.empty());
}

TEST_F(LayerListTest, AClickBringsTheTileIntoViewByTheWindowsOuterSize) {
    refresh();
    // Two columns of 2565 + 100 twips in 5820 (both in the window's outer width and in
    // the grid's), four rows of 3015 + 100 in 12600: six rows, scroll range 1 to 6.
    window.setHeight(12600);
    QApplication::processEvents();
    ASSERT_EQ(window.Width(), 5820);
    ASSERT_EQ(window.Height(), 12600);
    ASSERT_EQ(window.ScrBarV->maximum(), 6);
    ASSERT_EQ(window.ScrBarV->value(), 1);

    // Rows up to the top row + 4 - 3 are in view: no scroll.
    click(2); // tile 3, row 2
    EXPECT_EQ(window.ScrBarV->value(), 1);
    click(3, Qt::ControlModifier); // tile 4, row 2
    EXPECT_EQ(window.ScrBarV->value(), 1);
    // Tile 7 in row 4, below: row 4 - 4 + 2 = 2, and the grid follows.
    click(6);
    EXPECT_EQ(window.ScrBarV->value(), 2);
    EXPECT_EQ(ControlGeometry::Top(tile(3).FraOne()), 30);
    // Row 3 is in view now.
    click(4);
    EXPECT_EQ(window.ScrBarV->value(), 2);
    // Row 1 is above: it becomes the top row.
    click(0);
    EXPECT_EQ(window.ScrBarV->value(), 1);
    // The last item by the keyboard: row 6 - 4 + 2.
    key(Qt::Key_End);
    EXPECT_EQ(window.ScrBarV->value(), 4);
    // Scrolled away with the bar, a click on the same item brings it back.
    window.ScrBarV->setValue(1);
    click(11);
    EXPECT_EQ(window.ScrBarV->value(), 4);
    EXPECT_EQ(markedTiles(), QList<int>{12});

    // Width 8000 (7995 in whole pixels) holds three columns by the window's outer size
    // but only two in the grid (7835): item 12 counts as row 4 of three columns while
    // its tile stands in row 6; 4 - 4 + 2 = 2.
    window.setWidth(8000);
    QApplication::processEvents();
    ASSERT_EQ(window.ScrBarV->maximum(), 6);
    window.ScrBarV->setValue(1);
    click(11);
    EXPECT_EQ(window.ScrBarV->value(), 2);
    EXPECT_EQ(counting->counts().total(), 0);
}

TEST_F(LayerListTest, AScrollPositionOutsideTheBarsRangeIsNotApplied) {
    refresh();
    // At the smallest height one row counts as visible: item 12 in row 6 asks for
    // 6 - 1 + 2 = 7, beyond the last row; the bar stays rather than going to its end.
    window.setHeight(frmWMF::kMinHeight);
    QApplication::processEvents();
    ASSERT_EQ(window.ScrBarV->maximum(), 6);
    click(11);
    EXPECT_EQ(window.ScrBarV->value(), 1);
    EXPECT_EQ(markedTiles(), QList<int>{12});
    // Item 9 in row 5 asks for 6, which is in range.
    click(8);
    EXPECT_EQ(window.ScrBarV->value(), 6);
    EXPECT_TRUE(boxes.boxes.empty());
}

TEST_F(LayerListTest, SelectedLayersGoOnAndOffAndEveryTileReadsItsStateAgain) {
    refresh();
    // "Hidden" and "Gone" are off in the plan.
    click(kSorted.indexOf("Gone"));
    click(kSorted.indexOf("Hidden"), Qt::ControlModifier);
    button(kSelectedOn);
    EXPECT_EQ(states(), with(before, {"Gone", "Hidden"}, true));
    EXPECT_EQ(regens(), 1);
    expectTilesShowTheDrawing();

    click(kSorted.indexOf("Walls"));
    click(kSorted.indexOf("alpha"), Qt::ControlModifier);
    button(kSelectedOff);
    EXPECT_EQ(states(), with(with(before, {"Gone", "Hidden"}, true), {"Walls", "alpha"}, false));
    EXPECT_EQ(regens(), 2);
    expectTilesShowTheDrawing();

    // Nothing selected: no layer changes, yet the drawing is regenerated and every
    // tile reads what the CAD now has, such as a layer the user turned off there.
    click(kSorted.indexOf("alpha"), Qt::ControlModifier);
    click(kSorted.indexOf("Walls"), Qt::ControlModifier);
    ASSERT_TRUE(selectedRows().isEmpty());
    doc->Layers().Item(QStringLiteral("Beta")).setLayerOn(false);
    const viewertest::StateMap now = states();
    counting->counts().clear();
    button(kSelectedOn);
    EXPECT_EQ(states(), now);
    EXPECT_EQ(regens(), 1);
    EXPECT_EQ(counting->counts()[QStringLiteral("SetLayerProperty")], 0);
    EXPECT_FALSE(tile(kSorted.indexOf("Beta") + 1).bLayerOn());
    expectTilesShowTheDrawing();
    EXPECT_TRUE(boxes.boxes.empty());
}

TEST_F(LayerListTest, AllLayersGoOffAndOnTheCurrentLayerIncluded) {
    refresh();
    ASSERT_EQ(doc->ActiveLayer().Name(), QStringLiteral("Cur"));
    button(kAllOff);
    viewertest::StateMap off = with(before, kSorted, false);
    EXPECT_EQ(states(), off);
    EXPECT_EQ(regens(), 1);
    expectTilesShowTheDrawing();

    // "Cur" was off in the plan and comes on with the others; freeze and lock stay.
    counting->counts().clear();
    button(kAllOn);
    EXPECT_EQ(states(), with(before, kSorted, true));
    EXPECT_TRUE(on(QStringLiteral("Cur")));
    EXPECT_EQ(regens(), 1);
    expectTilesShowTheDrawing();
    EXPECT_EQ(doc->ActiveLayer().Name(), QStringLiteral("Cur"));
    EXPECT_TRUE(boxes.boxes.empty());
}

TEST_F(LayerListTest, AllLayersMeansTheDrawingsLayersNotJustThoseWithATile) {
    refresh({"Walls", "Doors"});
    ASSERT_EQ(window.proDWFUBound(), 2);
    button(kAllOff);
    EXPECT_EQ(states(), with(before, kSorted, false));
    button(kAllOn);
    EXPECT_EQ(states(), with(before, kSorted, true));
    expectTilesShowTheDrawing();
}

TEST_F(LayerListTest, RemovingTheThirdOfFiveClosesTheGapInListAndGrid) {
    refresh({"Walls", "Doors", "Hidden", "alpha", "Beta"});
    const QStringList five = {"alpha", "Beta", "Doors", "Hidden", "Walls"};
    ASSERT_EQ(listItems(), five);
    ASSERT_EQ(tileNames(), five);
    EXPECT_EQ(window.windowTitle(), QStringLiteral("画層ビューワ (3×2)"));
    std::vector<clsDWF*> was{nullptr};
    for (int i = 1; i <= 5; ++i)
        was.push_back(window.tile(i));
    platform::VbFrame* doorsFrame = tile(3).FraOne();

    click(2);
    button(kRemove);
    ASSERT_EQ(window.proDWFUBound(), 4);
    const std::vector<clsDWF*> expected{was[1], was[2], was[4], was[5]};
    for (int i = 1; i <= 4; ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(window.tile(i), expected[std::size_t(i - 1)]);
        EXPECT_EQ(tile(i).index(), i);
        EXPECT_TRUE(tile(i).FraOne()->isVisible());
    }
    EXPECT_EQ(listItems(), (QStringList{"alpha", "Beta", "Hidden", "Walls"}));
    EXPECT_EQ(tileNames(), listItems());
    EXPECT_FALSE(doorsFrame->isVisible());
    // Placed by their new numbers: the former tile 4 is now first in row 2.
    EXPECT_EQ(tile(3).iRow(), 2);
    EXPECT_EQ(tile(3).iCol(), 1);
    EXPECT_EQ(ControlGeometry::Left(tile(3).FraOne()), ControlGeometry::Left(tile(1).FraOne()));
    EXPECT_NEAR(ControlGeometry::Top(tile(3).FraOne()),
                ControlGeometry::Top(tile(1).FraOne()) + 3015 + 100, 15);
    EXPECT_EQ(window.windowTitle(), QStringLiteral("画層ビューワ (2×2)"));
    EXPECT_EQ(window.ScrBarV->maximum(), 2);
    // The drawing is not touched.
    EXPECT_EQ(counting->counts().total(), 0);
    EXPECT_EQ(states(), before);

    // The list and the grid stay in step for the next click.
    click(2);
    EXPECT_EQ(markedTiles(), QList<int>{3});
    EXPECT_EQ(tile(3).sLayerName(), QStringLiteral("Hidden"));
    EXPECT_TRUE(boxes.boxes.empty());
}

TEST_F(LayerListTest, RemovingEveryLayerLeavesTheFirst) {
    refresh({"Walls", "Doors", "Hidden", "alpha", "Beta"});
    clsDWF* first = window.tile(1);
    std::vector<platform::VbFrame*> frames;
    for (int i = 1; i <= 5; ++i)
        frames.push_back(tile(i).FraOne());
    click(0);
    key(Qt::Key_A, Qt::ControlModifier);
    button(kRemove);
    ASSERT_EQ(window.proDWFUBound(), 1);
    EXPECT_EQ(window.tile(1), first);
    EXPECT_EQ(listItems(), QStringList{"alpha"});
    EXPECT_TRUE(frames[0]->isVisible());
    for (std::size_t i = 1; i < frames.size(); ++i)
        EXPECT_FALSE(frames[i]->isVisible()) << i;
    EXPECT_EQ(window.windowTitle(), QStringLiteral("画層ビューワ (1×1)"));
    // Again with the one left selected: it stays.
    click(0);
    button(kRemove);
    EXPECT_EQ(window.proDWFUBound(), 1);
    EXPECT_EQ(listItems(), QStringList{"alpha"});
    EXPECT_TRUE(boxes.boxes.empty());
}

TEST_F(LayerListTest, AListNameNoLongerALayerChangesNothingAndTheRestGoesOn) {
    refresh();
    // "Empty" has no entities, so the CAD lets the user delete it after the refresh.
    auto backend = std::dynamic_pointer_cast<acad::DBusDocumentBackend>(doc->backend());
    ASSERT_TRUE(backend);
    backend->deleteLayer(QStringLiteral("Empty"));
    before.erase(QStringLiteral("Empty"));

    click(kSorted.indexOf("Empty"));
    click(kSorted.indexOf("Walls"), Qt::ControlModifier);
    button(kSelectedOff);
    EXPECT_EQ(states(), with(before, {"Walls"}, false));
    EXPECT_EQ(regens(), 1);
    // The command itself says nothing; only the tile of the vanished layer, reading
    // its state again, reports that on its own.
    for (const auto& b : boxes.boxes)
        EXPECT_TRUE(b.prompt.contains(QStringLiteral("SetLayerState"))) << b.prompt.toStdString();
    EXPECT_LE(boxes.boxes.size(), 1u);
    EXPECT_FALSE(tile(kSorted.indexOf("Walls") + 1).bLayerOn());
}

TEST_F(LayerListTest, ACommandOverLayersTheDrawingLostShowsOneBoxNamingThem) {
    openPlan();
    auto backend = std::dynamic_pointer_cast<acad::DBusDocumentBackend>(doc->backend());
    ASSERT_TRUE(backend);
    const QStringList lost = {"Lost1", "Lost2", "Lost3", "Lost4", "Lost5", "Lost6", "Lost7"};
    for (const QString& name : lost)
        backend->addLayer(name);
    window.pu_subCmdRefresh_Click();
    ASSERT_TRUE(boxes.boxes.empty()) << boxes.boxes[0].prompt.toStdString();
    for (const QString& name : lost)
        backend->deleteLayer(name);

    button(kAllOff);
    ASSERT_EQ(boxes.boxes.size(), 1u);
    const QString box = boxes.boxes[0].prompt;
    EXPECT_TRUE(box.contains(QStringLiteral("SetLayerState"))) << box.toStdString();
    EXPECT_TRUE(box.contains(QStringLiteral("失敗した画層は 7 画層です：Lost1、Lost2、Lost3、"
                                            "Lost4、Lost5 ほか 2 画層")))
        << box.toStdString();
    // The command did the rest.
    for (const auto& [name, state] : states())
        EXPECT_FALSE(state.on) << name.toStdString();

    // A list of thousands of names the drawing lacks: one box for the whole refresh.
    boxes.boxes.clear();
    QStringList missing;
    for (int i = 0; i < 1500; ++i)
        missing << QStringLiteral("Missing%1").arg(i, 4, 10, QLatin1Char('0'));
    refreshFromList(missing);
    ASSERT_EQ(boxes.boxes.size(), 1u);
    EXPECT_TRUE(boxes.boxes[0].prompt.contains(QStringLiteral("失敗した画層は 1500 画層です")))
        << boxes.boxes[0].prompt.toStdString();
    EXPECT_EQ(window.proDWFUBound(), 1500);
}

TEST_F(LayerListTest, BeforeTheFirstRefreshTheButtonsDoNothingAndSayNothing) {
    openPlan();
    for (const int b : {kSelectedOn, kSelectedOff, kRemove, kAllOn, kAllOff}) {
        SCOPED_TRACE(b);
        button(b);
    }
    EXPECT_EQ(counting->counts().total(), 0);
    EXPECT_EQ(states(), before);
    EXPECT_TRUE(boxes.boxes.empty());
    EXPECT_EQ(window.proDWFUBound(), 0);
    EXPECT_EQ(window.LstLayers->ListCount(), 0);
    EXPECT_EQ(window.windowTitle(), QStringLiteral("画層ビューワ"));
}

} // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
