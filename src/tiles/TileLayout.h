#pragma once

#include <QtGlobal>

// The one place that knows how big a tile is and where tile i stands: the design sizes
// of a tile's nine controls (twips, inside their containers) and the arithmetic of the
// grid. The template controls of the window, the tile's own settings, the window's
// resize and the layer list's scrolling all take their numbers from here.
namespace TileLayout {

struct Rect {
    double left, top, width, height;
};

// The frame and, inside it, the title box, the picture and the button bar.
inline constexpr Rect kFraOne{30, 30, 2565, 3015};
inline constexpr Rect kTxtOne{0, 0, 2565, 255};
inline constexpr Rect kImgOne{0, 270, 2535, 2415};
inline constexpr Rect kFraBar{0, 2700, 2565, 315};
// Inside the button bar. The linetype box takes the height its style gives it.
inline constexpr Rect kCmdView{60, 60, 195, 195};
inline constexpr Rect kCmdFreeze{360, 60, 195, 195};
inline constexpr Rect kCmdLock{660, 60, 195, 195};
inline constexpr Rect kCmdColor{930, 60, 195, 195};
inline constexpr Rect kCboLineType{1200, 15, 1335, 0};

// Between two tiles, and between the grid and the top-left corner of its box.
inline constexpr double kGap = 100;
inline constexpr double kMargin = 30;

// How many tiles of the given width stand side by side in a box this wide: whole
// pitches only, so 0 when not even one fits.
qint32 columnsFor(double boxWidth, double tileWidth = kFraOne.width);
// The same count downwards: how many rows of tiles this tall a box this high holds.
qint32 rowsIn(double boxHeight, double tileHeight = kFraOne.height);

// The 1-based column and row of tile iIndex (1-based) in a grid of iColumns columns.
struct Cell {
    qint32 row;
    qint32 col;
};
Cell cellOf(qint32 iIndex, qint32 iColumns);

// The top-left corner of a cell with the grid scrolled down by iTopScrol rows: rows
// scrolled off get a negative top.
double leftOf(qint32 col, double tileWidth = kFraOne.width);
double topOf(qint32 row, qint32 iTopScrol, double tileHeight = kFraOne.height);

// The rows a grid of iCount tiles in iColumns columns takes (0 for no tile).
qint32 rowsFor(qint32 iCount, qint32 iColumns);

} // namespace TileLayout
