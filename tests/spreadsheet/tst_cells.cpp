// Ranges as the export writes its layer table: an array of values at once, borders on
// every cell, and columns fitted to their text with Japanese counted double.

#include "platform/spreadsheet/Spreadsheet.h"
#include "platform/spreadsheet/TextWidth.h"

#include "ErrorNumber.h"

#include <gtest/gtest.h>

#include "QStringPrinter.h"

namespace {

using korvel::test::errorOf;
using namespace spreadsheet;

QList<QList<QVariant>> layerTable() {
    return {
        {QStringLiteral("No"), QStringLiteral("画層名"), QStringLiteral("オブジェクト数")},
        {1, QStringLiteral("0-通り芯"), 5},
        {2, QStringLiteral("ｵﾌﾞｼﾞｪｸﾄ-HALFWIDTH"), 0},
        {3, QStringLiteral("123"), qlonglong(2)},
    };
}

TEST(Range, ValueTakesTheWholeArrayKeepingNumbersAndStrings) {
    Application app;
    Worksheet& sheet = app.addWorkbook().worksheet(1);
    Range table = sheet.RangeOf(sheet.Cells(1, 1), sheet.Cells(4, 3));
    EXPECT_EQ(table.lastRow(), 4);
    EXPECT_EQ(table.lastColumn(), 3);
    table.setValue(layerTable());
    EXPECT_EQ(sheet.cellValue(1, 2), QVariant(QStringLiteral("画層名")));
    EXPECT_EQ(sheet.cellValue(2, 1).typeId(), QMetaType::Int);
    EXPECT_EQ(sheet.cellValue(2, 3), QVariant(5));
    EXPECT_EQ(sheet.cellValue(4, 3).typeId(), QMetaType::LongLong);
    // A name that looks like a number is still the name.
    EXPECT_EQ(sheet.cellValue(4, 2).typeId(), QMetaType::QString);
    EXPECT_FALSE(sheet.cellValue(5, 1).isValid());
    EXPECT_FALSE(sheet.cellValue(1, 4).isValid());

    // An array larger than the range is cut to it; an empty value clears the cell.
    sheet.Cells(10, 1).setValue({{7, 8}, {9}});
    EXPECT_EQ(sheet.cellValue(10, 1), QVariant(7));
    EXPECT_FALSE(sheet.cellValue(10, 2).isValid());
    EXPECT_FALSE(sheet.cellValue(11, 1).isValid());
    sheet.Cells(10, 1).setValue({{QString()}});
    EXPECT_FALSE(sheet.cellValue(10, 1).isValid());
    EXPECT_EQ(sheet.cells().size(), 12u);

    // Corners in any order make the same rectangle; cells off the grid are refused.
    const Range reversed = sheet.RangeOf(sheet.Cells(4, 3), sheet.Cells(1, 1));
    EXPECT_EQ(reversed.firstRow(), 1);
    EXPECT_EQ(reversed.firstColumn(), 1);
    EXPECT_EQ(errorOf([&] { sheet.Cells(0, 1); }), errRefusedValue);
    EXPECT_EQ(errorOf([&] { sheet.Cells(1, Worksheet::kColumns + 1); }), errRefusedValue);
}

TEST(Range, BordersReachEveryCellOfTheRangeAndNoOther) {
    Application app;
    Worksheet& sheet = app.addWorkbook().worksheet(1);
    Range table = sheet.RangeOf(sheet.Cells(1, 1), sheet.Cells(4, 3));
    table.setValue(layerTable());
    table.setBorders({xlContinuous, xlThin, xlColorIndexAutomatic});
    for (int row = 1; row <= 5; ++row) {
        for (int column = 1; column <= 4; ++column) {
            const bool inside = row <= 4 && column <= 3;
            EXPECT_EQ(sheet.cellBorders(row, column).lineStyle,
                      inside ? xlContinuous : xlLineStyleNone)
                << row << "," << column;
        }
    }
    // Borders without a value make a cell of their own; taking them off drops it.
    sheet.Cells(7, 7).setBorders({xlContinuous, xlThin, xlColorIndexAutomatic});
    EXPECT_EQ(sheet.cells().count({7, 7}), 1u);
    sheet.Cells(7, 7).setBorders(Borders());
    EXPECT_EQ(sheet.cells().count({7, 7}), 0u);
    EXPECT_EQ(errorOf([&] {
                  sheet.AllCells().setBorders(Borders{xlContinuous, xlThin});
              }),
              errRefusedValue);
}

TEST(Range, AutoFitWidensEachColumnToItsWidestText) {
    Application app;
    Worksheet& sheet = app.addWorkbook().worksheet(1);
    sheet.RangeOf(sheet.Cells(1, 1), sheet.Cells(4, 3)).setValue(layerTable());
    sheet.Cells(20, 5).setValue({{QStringLiteral("far below the table")}});
    EXPECT_EQ(sheet.columnWidth(1), 0.0);
    sheet.AllCells().autoFitColumns();
    // One character to spare beyond the widest text of each column.
    EXPECT_DOUBLE_EQ(sheet.columnWidth(1), 3.0);  // "No"
    EXPECT_DOUBLE_EQ(sheet.columnWidth(2), 19.0); // halfwidth katakana + Latin: 18
    EXPECT_DOUBLE_EQ(sheet.columnWidth(3), 15.0); // オブジェクト数: 7 wide characters
    EXPECT_DOUBLE_EQ(sheet.columnWidth(5), 20.0);
    EXPECT_EQ(sheet.columnWidth(4), 0.0);

    // A column whose text is gone goes back to the standard width; fitting one column
    // leaves the others alone.
    sheet.Cells(20, 5).setValue({{QVariant()}});
    sheet.Cells(1, 2).setValue({{QStringLiteral("画層名画層名画層名画層名")}});
    sheet.RangeOf(sheet.Cells(1, 5), sheet.Cells(1, 5)).autoFitColumns();
    EXPECT_EQ(sheet.columnWidth(5), 0.0);
    EXPECT_DOUBLE_EQ(sheet.columnWidth(2), 19.0);
    sheet.Cells(1, 2).autoFitColumns();
    EXPECT_DOUBLE_EQ(sheet.columnWidth(2), 25.0);
}

TEST(TextWidth, WideCharactersCountTwiceHalfwidthOnce) {
    EXPECT_EQ(displayWidth(QString()), 0.0);
    EXPECT_EQ(displayWidth(QStringLiteral("No")), 2.0);
    EXPECT_EQ(displayWidth(QStringLiteral("画層名")), 6.0);
    EXPECT_EQ(displayWidth(QStringLiteral("ｵﾌﾞｼﾞｪｸﾄ")), 8.0); // halfwidth: one each
    EXPECT_EQ(displayWidth(QStringLiteral("ＡＢ１：")), 8.0); // fullwidth forms
    EXPECT_EQ(displayWidth(QStringLiteral("ひらがな・カタカナ")), 18.0);
    EXPECT_EQ(displayWidth(QStringLiteral("한국")), 4.0);
    EXPECT_EQ(displayWidth(QStringLiteral("𠮷野家")), 6.0);  // beyond the BMP
    EXPECT_EQ(displayWidth(QStringLiteral("e\u0301")), 1.0); // a combining accent
    EXPECT_EQ(displayWidth(QStringLiteral("short\n長い二行目")), 10.0);
}

} // namespace
