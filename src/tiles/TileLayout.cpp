#include "TileLayout.h"

#include <cmath>

namespace TileLayout {

qint32 columnsFor(double boxWidth, double tileWidth) {
    return qint32(std::floor(boxWidth / (tileWidth + kGap)));
}

qint32 rowsIn(double boxHeight, double tileHeight) {
    return qint32(std::floor(boxHeight / (tileHeight + kGap)));
}

Cell cellOf(qint32 iIndex, qint32 iColumns) {
    // The last column is iColumns, not 0: index 2 of 2 columns is row 1, column 2.
    qint32 col = iIndex % iColumns;
    if (col == 0)
        col = iColumns;
    return {(iIndex - col) / iColumns + 1, col};
}

double leftOf(qint32 col, double tileWidth) {
    return (tileWidth + kGap) * (col - 1) + kMargin;
}

double topOf(qint32 row, qint32 iTopScrol, double tileHeight) {
    return (tileHeight + kGap) * (row - 1 - iTopScrol) + kMargin;
}

qint32 rowsFor(qint32 iCount, qint32 iColumns) {
    if (iCount <= 0 || iColumns <= 0)
        return 0;
    return (iCount + iColumns - 1) / iColumns;
}

} // namespace TileLayout
