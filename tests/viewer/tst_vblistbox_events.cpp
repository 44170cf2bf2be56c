// The list box's events as its window sees them: Click once per user gesture, after
// the selection has settled, whether the mouse or a key made it, and never for a
// selection the program made; KeyDown before the box acts on the key.

#include "platform/VbListBox.h"

#include <QApplication>
#include <QTest>
#include <gtest/gtest.h>

namespace {

class VbListBoxEvents : public ::testing::Test {
protected:
    void SetUp() override {
        box.setSelectionMode(QAbstractItemView::ExtendedSelection);
        for (int i = 0; i < 30; ++i)
            box.AddItem(QStringLiteral("L%1").arg(i, 2, 10, QLatin1Char('0')));
        box.resize(160, 200);
        box.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&box));
        // What the window's handler would see at each Click.
        QObject::connect(&box, &platform::VbListBox::Click, &box, [this] {
            seen.push_back({box.ListIndex(), selectedRows()});
        });
    }

    QPoint centre(int row) {
        box.scrollToItem(box.item(row));
        return box.visualItemRect(box.item(row)).center();
    }
    void click(int row, Qt::KeyboardModifiers mods = Qt::NoModifier) {
        QTest::mouseClick(box.viewport(), Qt::LeftButton, mods, centre(row));
    }
    QList<int> selectedRows() const {
        QList<int> rows;
        for (int i = 0; i < box.ListCount(); ++i)
            if (box.Selected(i))
                rows << i;
        return rows;
    }

    struct Seen {
        int listIndex;
        QList<int> selected;
    };
    platform::VbListBox box;
    std::vector<Seen> seen;
};

TEST_F(VbListBoxEvents, EveryMouseClickIsOneClickAfterTheSelectionIsMade) {
    click(3);
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_EQ(seen[0].listIndex, 3);
    EXPECT_EQ(seen[0].selected, QList<int>{3});

    // Shift extends from the anchor, Ctrl toggles one item: one Click each.
    click(6, Qt::ShiftModifier);
    ASSERT_EQ(seen.size(), 2u);
    EXPECT_EQ(seen[1].listIndex, 6);
    EXPECT_EQ(seen[1].selected, (QList<int>{3, 4, 5, 6}));
    click(4, Qt::ControlModifier);
    ASSERT_EQ(seen.size(), 3u);
    EXPECT_EQ(seen[2].selected, (QList<int>{3, 5, 6}));
    click(10, Qt::ControlModifier);
    ASSERT_EQ(seen.size(), 4u);
    EXPECT_EQ(seen[3].listIndex, 10);
    EXPECT_EQ(seen[3].selected, (QList<int>{3, 5, 6, 10}));

    // Clicking the one chosen item again changes nothing in the box, and is still a
    // click: the window shows that item's tile again.
    click(8);
    click(8);
    ASSERT_EQ(seen.size(), 6u);
    EXPECT_EQ(seen[5].listIndex, 8);
    EXPECT_EQ(seen[5].selected, QList<int>{8});
}

TEST_F(VbListBoxEvents, ADragOverSeveralItemsIsOneClickAtTheRelease) {
    const QPoint from = centre(2);
    const QPoint to = centre(5);
    QTest::mousePress(box.viewport(), Qt::LeftButton, Qt::NoModifier, from);
    QMouseEvent move(QEvent::MouseMove, QPointF(to), box.viewport()->mapToGlobal(QPointF(to)),
                     Qt::NoButton, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(box.viewport(), &move);
    EXPECT_TRUE(seen.empty()) << "nothing before the release";
    QTest::mouseRelease(box.viewport(), Qt::LeftButton, Qt::NoModifier, to);
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_EQ(seen[0].selected, (QList<int>{2, 3, 4, 5}));
}

TEST_F(VbListBoxEvents, AKeyThatMovesOrChangesTheSelectionIsOneClickAfterIt) {
    click(0);
    seen.clear();
    QTest::keyClick(&box, Qt::Key_Down);
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_EQ(seen[0].listIndex, 1);
    EXPECT_EQ(seen[0].selected, QList<int>{1});
    QTest::keyClick(&box, Qt::Key_Down, Qt::ShiftModifier);
    ASSERT_EQ(seen.size(), 2u);
    EXPECT_EQ(seen[1].selected, (QList<int>{1, 2}));
    QTest::keyClick(&box, Qt::Key_End);
    ASSERT_EQ(seen.size(), 3u);
    EXPECT_EQ(seen[2].listIndex, 29);

    // Nothing moves at the end of the list, and a key the box ignores changes nothing.
    QTest::keyClick(&box, Qt::Key_Down);
    QTest::keyClick(&box, Qt::Key_F5);
    EXPECT_EQ(seen.size(), 3u);
}

TEST_F(VbListBoxEvents, KeyDownComesFirstAndCtrlAIsLeftToTheWindow) {
    click(4);
    seen.clear();
    std::vector<std::pair<int, int>> keys; // key, current item when KeyDown ran
    Qt::KeyboardModifiers lastShift;
    QObject::connect(&box, &platform::VbListBox::KeyDown, &box,
                     [&](int key, Qt::KeyboardModifiers shift) {
                         keys.push_back({key, box.ListIndex()});
                         lastShift = shift;
                     });
    QTest::keyClick(&box, Qt::Key_Down);
    ASSERT_EQ(keys.size(), 1u);
    EXPECT_EQ(keys[0], std::make_pair(int(Qt::Key_Down), 4));
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_EQ(seen[0].listIndex, 5);

    // Without a handler that makes it, Ctrl+A selects nothing more and is no click.
    // The modifier's own key comes down first, as on the platform.
    keys.clear();
    QTest::keyClick(&box, Qt::Key_A, Qt::ControlModifier);
    ASSERT_EQ(keys.size(), 2u);
    EXPECT_EQ(keys[0].first, int(Qt::Key_Control));
    EXPECT_EQ(keys[1].first, int(Qt::Key_A));
    EXPECT_EQ(lastShift, Qt::ControlModifier);
    EXPECT_EQ(selectedRows(), QList<int>{5});
    EXPECT_EQ(seen.size(), 1u);

    // A handler that selects in KeyDown gets one Click for it.
    QObject::connect(&box, &platform::VbListBox::KeyDown, &box,
                     [&](int key, Qt::KeyboardModifiers) {
                         if (key == Qt::Key_F2)
                             box.setSelected(9, true);
                     });
    QTest::keyClick(&box, Qt::Key_F2);
    ASSERT_EQ(seen.size(), 2u);
    EXPECT_EQ(seen[1].selected, (QList<int>{5, 9}));
}

TEST_F(VbListBoxEvents, SelectionsTheProgramMakesAreNoClick) {
    box.setCurrentRow(7);
    box.setSelected(2, true);
    box.setSelected(7, false);
    box.clearSelection();
    box.RemoveItem(0);
    EXPECT_TRUE(seen.empty());
    EXPECT_EQ(box.ListCount(), 29);
    EXPECT_EQ(box.List(0), QStringLiteral("L01"));
    // Nor a release whose press the box never saw.
    QTest::mouseRelease(box.viewport(), Qt::LeftButton, Qt::NoModifier, centre(3));
    EXPECT_TRUE(seen.empty());
}

} // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
