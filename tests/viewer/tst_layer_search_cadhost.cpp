// The search field after the toolbar's buttons, typed into as a user types, against the
// real host: the list's selection, the tiles' marks, the scrolling, Enter and Esc, and
// the list commands acting on what was picked.

#include "CadHostWindowTest.h"

#include "acad/DBusBackend.h"
#include "platform/ErrorReport.h"

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QInputMethodEvent>
#include <QLineEdit>
#include <QScrollBar>
#include <QTest>
#include <QToolBar>

namespace {

const QStringList kJapanese = {QStringLiteral("壁_外部"), QStringLiteral("壁_内部"),
                               QStringLiteral("建具_窓")};

class LayerSearchTest : public viewertest::CadHostWindowTest {
protected:
    // The plan with three Japanese layers more, every layer refreshed into the window.
    void refresh() {
        openPlan();
        auto hostDoc = std::dynamic_pointer_cast<acad::DBusDocumentBackend>(
            std::dynamic_pointer_cast<acad::DBusApplicationBackend>(host)->activeDocument());
        for (const QString& name : kJapanese)
            hostDoc->addLayer(name);
        before = states();
        window.pu_subCmdRefresh_Click();
        for (const auto& b : boxes.boxes)
            ADD_FAILURE() << b.prompt.toStdString();
        boxes.boxes.clear();
        ASSERT_EQ(window.proDWFUBound(), viewertest::kLayers.size() + kJapanese.size());
        window.activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
        field = window.layerSearch();
        ASSERT_TRUE(field);
        field->setFocus();
    }

    // Latin text key by key; Japanese as an input method hands it over, a word at once.
    void type(const QString& text) {
        field->selectAll();
        QTest::keyClick(field, Qt::Key_Backspace);
        bool ascii = true;
        for (QChar c : text)
            ascii = ascii && c.unicode() < 0x80;
        if (ascii) {
            QTest::keyClicks(field, text);
            return;
        }
        QInputMethodEvent commit;
        commit.setCommitString(text);
        QCoreApplication::sendEvent(field, &commit);
    }
    void key(Qt::Key k) { QTest::keyClick(field, k); }

    QStringList selectedNames() {
        QStringList names;
        for (int i = 0; i < window.LstLayers->ListCount(); ++i)
            if (window.LstLayers->Selected(i))
                names << window.LstLayers->List(i);
        return names;
    }
    // The tiles' marks once the window had time for those out of view.
    QStringList markedNames() {
        for (int k = 0; k < 50; ++k)
            QCoreApplication::processEvents();
        QStringList names;
        for (int i = 1; i <= window.proDWFUBound(); ++i)
            if (tile(i).isSelected())
                names << tile(i).sLayerName();
        return names;
    }
    QString currentName() { return window.LstLayers->List(window.LstLayers->ListIndex()); }
    // The list's current item's tile lies in the grid's visible rows once the window
    // had its turn to scroll the grid.
    bool currentTileInView() {
        for (int k = 0; k < 5; ++k)
            QCoreApplication::processEvents();
        const int r = tile(window.LstLayers->ListIndex() + 1).iRow();
        const int v = window.ScrBarV->value();
        return r >= v && r <= v + 2;
    }
    void button(int index) {
        auto* widget = qobject_cast<QAbstractButton*>(
            window.Toolbar1->widgetForAction(window.toolbarButton(index)));
        ASSERT_TRUE(widget);
        QTest::mouseClick(widget, Qt::LeftButton);
    }

    QLineEdit* field = nullptr;
};

TEST_F(LayerSearchTest, TypingSelectsAndMarksTheMatchingLayers) {
    refresh();
    // Plain text: contained anywhere, either case; in the list's (sorted) order.
    type(QStringLiteral("A"));
    const QStringList withA = {"alpha", "Beta", "gamma", "Walls"};
    EXPECT_EQ(selectedNames(), withA);
    EXPECT_EQ(markedNames(), withA);
    EXPECT_EQ(currentName(), QStringLiteral("alpha"));
    EXPECT_TRUE(currentTileInView());

    // Wildcards: the whole name.
    type(QStringLiteral("*S"));
    EXPECT_EQ(selectedNames(), (QStringList{"Dims", "Doors", "Walls"}));
    EXPECT_EQ(markedNames(), selectedNames());
    type(QStringLiteral("?o*"));
    EXPECT_EQ(selectedNames(), (QStringList{"Doors", "Gone"}));
    EXPECT_EQ(markedNames(), selectedNames());

    // Japanese names.
    type(QStringLiteral("壁"));
    QStringList walls = selectedNames();
    walls.sort();
    EXPECT_EQ(walls, (QStringList{"壁_内部", "壁_外部"}));
    EXPECT_EQ(markedNames(), selectedNames());
    type(QStringLiteral("建?_窓"));
    EXPECT_EQ(selectedNames(), (QStringList{"建具_窓"}));
    EXPECT_EQ(markedNames(), selectedNames());
    EXPECT_TRUE(currentTileInView());

    // No match: nothing selected, every mark cleared.
    type(QStringLiteral("zzz"));
    EXPECT_TRUE(selectedNames().isEmpty());
    EXPECT_TRUE(markedNames().isEmpty());
    EXPECT_TRUE(boxes.boxes.empty());
}

TEST_F(LayerSearchTest, EnterStepsThroughTheMatchesAndEscClears) {
    refresh();
    type(QStringLiteral("a"));
    ASSERT_EQ(currentName(), QStringLiteral("alpha"));
    key(Qt::Key_Return);
    EXPECT_EQ(currentName(), QStringLiteral("Beta"));
    key(Qt::Key_Return);
    key(Qt::Key_Return);
    EXPECT_EQ(currentName(), QStringLiteral("Walls"));
    EXPECT_TRUE(currentTileInView());
    // Stepping leaves the selection as the typing made it.
    EXPECT_EQ(selectedNames(), (QStringList{"alpha", "Beta", "gamma", "Walls"}));
    key(Qt::Key_Return); // round to the first again
    EXPECT_EQ(currentName(), QStringLiteral("alpha"));
    EXPECT_TRUE(currentTileInView());

    key(Qt::Key_Escape);
    EXPECT_TRUE(field->text().isEmpty());
    EXPECT_TRUE(selectedNames().isEmpty());
    EXPECT_TRUE(markedNames().isEmpty());
}

TEST_F(LayerSearchTest, TheListCommandsActOnWhatWasPicked) {
    refresh();
    type(QStringLiteral("壁"));
    button(12); // the selected layers off
    viewertest::StateMap expected = before;
    for (auto& [name, s] : expected)
        if (name.startsWith(QStringLiteral("壁")))
            s.on = false;
    EXPECT_EQ(states(), expected);
    // One step on the way back.
    EXPECT_EQ(window.undoButton()->toolTip(), QStringLiteral("元に戻す（選択画層非表示）"));

    type(QStringLiteral("*s"));
    button(13); // out of list and grid
    EXPECT_FALSE(listItems().contains(QStringLiteral("Walls")));
    EXPECT_FALSE(listItems().contains(QStringLiteral("Doors")));
    EXPECT_FALSE(listItems().contains(QStringLiteral("Dims")));
    EXPECT_EQ(listItems(), tileNames());
    // Enter has nothing left to step to; the search runs over what is left.
    const int current = window.LstLayers->ListIndex();
    key(Qt::Key_Return);
    EXPECT_EQ(window.LstLayers->ListIndex(), current);
    type(QStringLiteral("*s"));
    EXPECT_TRUE(selectedNames().isEmpty());
    EXPECT_TRUE(boxes.boxes.empty());
}

} // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
