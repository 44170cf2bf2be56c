// The grid's arithmetic: how many tiles fit, where tile i stands, how far a scroll
// moves it.

#include "tiles/TileLayout.h"

#include <gtest/gtest.h>

namespace {

TEST(TileLayout, ColumnsCountWholePitchesOnly) {
    const struct {
        double width;
        qint32 columns;
    } cases[] = {{0, 0},    {2664, 0}, {2665, 1}, {5329, 1},  {5330, 2},
                 {5625, 2}, {7994, 2}, {7995, 3}, {-100, -1}, {26650, 10}};
    for (const auto& c : cases)
        EXPECT_EQ(TileLayout::columnsFor(c.width), c.columns) << c.width;
    // A tile of another width has its own pitch.
    EXPECT_EQ(TileLayout::columnsFor(1000, 400), 2);
}

TEST(TileLayout, RowsInABoxCountWholePitchesDownwards) {
    const struct {
        double height;
        qint32 rows;
    } cases[] = {{0, 0}, {3114, 0}, {3115, 1}, {6229, 1}, {6230, 2}, {8625, 2}, {9345, 3}};
    for (const auto& c : cases)
        EXPECT_EQ(TileLayout::rowsIn(c.height), c.rows) << c.height;
    EXPECT_EQ(TileLayout::rowsIn(1000, 150), 4);
}

TEST(TileLayout, CellsFillRowsLeftToRightAndTheLastColumnIsNotZero) {
    const struct {
        qint32 index, columns, row, col;
    } cases[] = {{1, 1, 1, 1}, {2, 1, 2, 1}, {1, 2, 1, 1},  {2, 2, 1, 2},
                 {3, 2, 2, 1}, {4, 2, 2, 2}, {26, 4, 7, 2}, {12, 4, 3, 4}};
    for (const auto& c : cases) {
        const TileLayout::Cell cell = TileLayout::cellOf(c.index, c.columns);
        EXPECT_EQ(cell.row, c.row) << c.index << " in " << c.columns;
        EXPECT_EQ(cell.col, c.col) << c.index << " in " << c.columns;
    }
}

TEST(TileLayout, CornersStepByAPitchAndScrolledRowsGoAbove) {
    EXPECT_EQ(TileLayout::leftOf(1), 30);
    EXPECT_EQ(TileLayout::leftOf(2), 2695);
    EXPECT_EQ(TileLayout::topOf(1, 0), 30);
    EXPECT_EQ(TileLayout::topOf(3, 0), 6260);
    EXPECT_EQ(TileLayout::topOf(3, 2), 30);
    EXPECT_EQ(TileLayout::topOf(1, 1), -3085);
}

TEST(TileLayout, RowsRoundUpAndNoTileTakesNoRow) {
    EXPECT_EQ(TileLayout::rowsFor(0, 4), 0);
    EXPECT_EQ(TileLayout::rowsFor(26, 4), 7);
    EXPECT_EQ(TileLayout::rowsFor(28, 4), 7);
    EXPECT_EQ(TileLayout::rowsFor(1, 10), 1);
    EXPECT_EQ(TileLayout::rowsFor(5, 0), 0);
}

TEST(TileLayout, TheTileFitsItsControlsInsideItsFrame) {
    using namespace TileLayout;
    for (const Rect& inFrame : {kTxtOne, kImgOne, kFraBar}) {
        EXPECT_LE(inFrame.left + inFrame.width, kFraOne.width);
        EXPECT_LE(inFrame.top + inFrame.height, kFraOne.height);
    }
    for (const Rect& inBar : {kCmdView, kCmdFreeze, kCmdLock, kCmdColor, kCboLineType}) {
        EXPECT_LE(inBar.left + inBar.width, kFraBar.width);
        EXPECT_LE(inBar.top + inBar.height, kFraBar.height);
    }
}

} // namespace
