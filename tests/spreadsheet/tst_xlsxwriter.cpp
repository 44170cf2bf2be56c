// Workbooks written as the export builds them, read back by openpyxl and by parsing the
// package's parts in Python: sheets, the layer table with its types and borders, column
// widths, and the pictures and captions at their places in EMU.

#include "PictureFiles.h"
#include "WorkbookReader.h"
#include "platform/spreadsheet/XlsxWriter.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include "QStringPrinter.h"

#include <cmath>

namespace {

using namespace spreadsheet;

constexpr qint64 kEmuPerPoint = 12700;
// The grid of a sheet without widths of its own: 64-pixel columns, 15-point rows.
constexpr qint64 kColumnEmu = 609600;
constexpr qint64 kRowEmu = 190500;

// One picture with its caption, placed as the export places it: width in centimetres,
// height by the aspect, rows stepped by spacing + height + frame + 2 + 30.
void placePicture(Application& app, Worksheet& sheet, const QString& name, int count,
                  const QString& file, double widthCm, double spacingCm, bool frame, double weight,
                  int row, int column) {
    Picture& picture = sheet.insertPicture(file);
    const double w0 = picture.Width(), h0 = picture.Height();
    picture.setWidth(app.CentimetersToPoints(widthCm));
    picture.setHeight(picture.Width() * h0 / w0);
    if (frame) {
        picture.Border().lineStyle = xlAutomatic;
        picture.Border().weight = weight;
        picture.Border().color = 0;
    } else {
        picture.Border().lineStyle = xlLineStyleNone;
    }
    const double w = picture.Width(), h = picture.Height();
    const double s = app.CentimetersToPoints(spacingCm);
    picture.setTop((s + h + weight + 2 + 30) * (row - 1) + 10);
    picture.setLeft((s + w) * (column - 1) + 10);
    Shape& box = sheet.addTextbox(msoTextOrientationHorizontal, picture.Left(),
                                  picture.Top() + h + weight + 2, w, 30);
    box.setText(name + QChar(10) + QStringLiteral("ｵﾌﾞｼﾞｪｸﾄ数：") + QString::number(count));
    box.setHorizontalAlignment(xlCenter);
    box.setFontSize(9);
    box.setPlacement(xlMove);
}

QJsonObject sheetNamed(const QJsonObject& workbook, const QString& name) {
    for (const QJsonValue& sheet : workbook[QStringLiteral("sheets")].toArray()) {
        if (sheet[QStringLiteral("name")].toString() == name)
            return sheet.toObject();
    }
    ADD_FAILURE() << "no sheet " << name.toStdString();
    return {};
}

QJsonObject cellAt(const QJsonObject& sheet, const QString& ref) {
    for (const QJsonValue& cell : sheet[QStringLiteral("cells")].toArray()) {
        if (cell[QStringLiteral("ref")].toString() == ref)
            return cell.toObject();
    }
    ADD_FAILURE() << "no cell " << ref.toStdString();
    return {};
}

qint64 emu(const QJsonValue& item, const char* key) {
    return qint64(item[QLatin1String(key)].toDouble());
}

// The anchor's cell and offset on the default grid lead back to the EMU it was given.
void expectAnchoredAt(const QJsonValue& item) {
    const QJsonValue from = item[QStringLiteral("from")], to = item[QStringLiteral("to")];
    EXPECT_EQ(emu(from, "col") * kColumnEmu + emu(from, "colOff"), emu(item, "x"));
    EXPECT_EQ(emu(from, "row") * kRowEmu + emu(from, "rowOff"), emu(item, "y"));
    EXPECT_EQ(emu(to, "col") * kColumnEmu + emu(to, "colOff"), emu(item, "x") + emu(item, "cx"));
    EXPECT_EQ(emu(to, "row") * kRowEmu + emu(to, "rowOff"), emu(item, "y") + emu(item, "cy"));
    EXPECT_LT(emu(from, "colOff"), kColumnEmu);
    EXPECT_LT(emu(from, "rowOff"), kRowEmu);
}

class XlsxWriterTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        wmf = dir.filePath(QStringLiteral("LAYER-A.wmf"));
        png = dir.filePath(QStringLiteral("LAYER-B.png"));
        ASSERT_TRUE(korvel::test::writeMetafile(wmf, 200, 100));
        ASSERT_TRUE(korvel::test::writePng(png, 200, 100));
    }

    // The export's workbook: the layer table on the drawing's sheet, then the grid
    // sheet "1" with three pictures of 200 x 100 at 9.0 cm, spacing 1.0 cm, frame 1.0.
    Workbook& exportWorkbook(const QString& awkwardName) {
        Workbook& book = app.addWorkbook();
        Worksheet& first = book.worksheet(1);
        first.setName(QStringLiteral("plan.dxf"));
        for (int i = book.worksheetCount(); i >= 2; --i)
            book.worksheet(i).Delete();
        Range table = first.RangeOf(first.Cells(1, 1), first.Cells(4, 3));
        table.setValue({
            {QStringLiteral("No"), QStringLiteral("画層名"), QStringLiteral("オブジェクト数")},
            {1, QStringLiteral("name"), 5},
            {2, awkwardName, 0},
            {3, QStringLiteral("通り芯"), 2},
        });
        table.setBorders({xlContinuous, xlThin, xlColorIndexAutomatic});
        first.AllCells().autoFitColumns();
        Worksheet& grid = book.addWorksheetAfter(first);
        grid.setName(QVariant(1));
        placePicture(app, grid, QStringLiteral("name"), 5, wmf, 9.0, 1.0, true, 1.0, 1, 1);
        placePicture(app, grid, awkwardName, 0, wmf, 9.0, 1.0, true, 1.0, 1, 2);
        placePicture(app, grid, QStringLiteral("通り芯"), 2, wmf, 9.0, 1.0, true, 1.0, 2, 1);
        // One picture per sheet: a bitmap without frame at the top left.
        Worksheet& single = book.addWorksheetAfter(grid);
        single.setName(QStringLiteral("A&B <\"c\">"));
        placePicture(app, single, QStringLiteral("B"), 1, png, 9.0, 1.0, false, 1.0, 1, 1);
        first.Activate();
        return book;
    }

    QTemporaryDir dir;
    QString wmf, png;
    Application app;
};

TEST_F(XlsxWriterTest, SheetsAndTheLayerTableReadBackWithTypesBordersAndWidths) {
    const QString awkward = QStringLiteral("A&B<c>\"d\"\x01"
                                           "e _x0041_ 'f'");
    const Workbook& book = exportWorkbook(awkward);
    const QString path = dir.filePath(QStringLiteral("out.xlsx"));
    QString why;
    ASSERT_TRUE(writeXlsx(book, path, &why)) << why.toStdString();
    const QJsonObject read = korvel::test::readWorkbook(path);
    ASSERT_FALSE(read.isEmpty());
    EXPECT_TRUE(read[QStringLiteral("zipOk")].toBool());
    EXPECT_EQ(read[QStringLiteral("malformedParts")].toArray(), QJsonArray());
    EXPECT_EQ(read[QStringLiteral("untypedParts")].toArray(), QJsonArray());

    QStringList names;
    for (const QJsonValue& sheet : read[QStringLiteral("sheets")].toArray())
        names << sheet[QStringLiteral("name")].toString();
    EXPECT_EQ(names, (QStringList{"plan.dxf", "1", "A&B <\"c\">"}));
    EXPECT_EQ(read[QStringLiteral("active")].toString(), QStringLiteral("plan.dxf"));

    const QJsonObject table = sheetNamed(read, QStringLiteral("plan.dxf"));
    EXPECT_EQ(cellAt(table, "A1")[QStringLiteral("value")].toString(), QStringLiteral("No"));
    EXPECT_EQ(cellAt(table, "C1")[QStringLiteral("value")].toString(),
              QStringLiteral("オブジェクト数"));
    EXPECT_EQ(cellAt(table, "B3")[QStringLiteral("text")].toString(), awkward);
    for (const char* ref : {"A2", "C2", "A4", "C4", "C3"}) {
        const QJsonObject cell = cellAt(table, ref);
        EXPECT_EQ(cell[QStringLiteral("pyType")].toString(), QStringLiteral("int")) << ref;
        EXPECT_EQ(cell[QStringLiteral("dataType")].toString(), QStringLiteral("n")) << ref;
    }
    EXPECT_EQ(cellAt(table, "C2")[QStringLiteral("value")].toInt(), 5);
    EXPECT_EQ(cellAt(table, "C3")[QStringLiteral("value")].toInt(), 0);
    EXPECT_EQ(cellAt(table, "B2")[QStringLiteral("dataType")].toString(), QStringLiteral("s"));

    // Thin automatic borders on all four edges of each of the twelve cells, and only there.
    const QJsonArray cells = table[QStringLiteral("cells")].toArray();
    EXPECT_EQ(cells.size(), 12);
    for (const QJsonValue& cell : cells) {
        const QString ref = cell[QStringLiteral("ref")].toString();
        EXPECT_EQ(cell[QStringLiteral("borders")].toArray(),
                  (QJsonArray{"thin", "thin", "thin", "thin"}))
            << ref.toStdString();
        EXPECT_EQ(cell[QStringLiteral("borderAuto")].toArray(),
                  (QJsonArray{true, true, true, true}))
            << ref.toStdString();
    }

    // The file's widths are the fitted characters plus the cell's padding of 5 pixels
    // at 7 pixels a character.
    const QJsonObject widths = table[QStringLiteral("widths")].toObject();
    const Worksheet& first = book.worksheet(1);
    for (const auto& [letter, column] : {std::pair{"A", 1}, {"B", 2}, {"C", 3}}) {
        EXPECT_NEAR(widths[QLatin1String(letter)].toDouble(), first.columnWidth(column) + 5.0 / 7.0,
                    0.01)
            << letter;
    }
    EXPECT_DOUBLE_EQ(first.columnWidth(3), 15.0); // 7 wide characters and one to spare
    EXPECT_TRUE(
        sheetNamed(read, QStringLiteral("1"))[QStringLiteral("widths")].toObject().isEmpty());
}

TEST_F(XlsxWriterTest, PicturesAndCaptionsSitAtTheWorkedExamplesPlacesInEmu) {
    const Workbook& book = exportWorkbook(QStringLiteral("A&B<c>\x01x"));
    const QString path = dir.filePath(QStringLiteral("pictures.xlsx"));
    ASSERT_TRUE(writeXlsx(book, path));
    const QJsonObject read = korvel::test::readWorkbook(path);
    const QJsonArray items =
        sheetNamed(read, QStringLiteral("1"))[QStringLiteral("drawing")].toArray();
    ASSERT_EQ(items.size(), 6); // picture, caption, picture, caption, picture, caption
    const QJsonValue first = items[0], firstCaption = items[1], right = items[2],
                     rightCaption = items[3], below = items[4];

    // 9.0 cm is 255.1 points: 3,240,000 EMU; the height keeps 200 : 100.
    EXPECT_EQ(first[QStringLiteral("kind")].toString(), QStringLiteral("picture"));
    EXPECT_NEAR(emu(first, "x"), 10 * kEmuPerPoint, 1);
    EXPECT_NEAR(emu(first, "y"), 10 * kEmuPerPoint, 1);
    EXPECT_NEAR(emu(first, "cx"), 3240000, 1);
    EXPECT_NEAR(emu(first, "cy"), 1620000, 1);
    EXPECT_NEAR(emu(first, "cx") / double(kEmuPerPoint), 255.1, 0.05);
    EXPECT_NEAR(emu(first, "cy") / double(kEmuPerPoint), 127.6, 0.05);
    // The neighbour to the right at 10 + 28.35 + 255.1 points, the one below at
    // 10 + 28.35 + 127.6 + 1 + 2 + 30 points.
    EXPECT_NEAR(emu(right, "x") / double(kEmuPerPoint), 293.5, 0.05);
    EXPECT_NEAR(emu(right, "x"), 3727000, 1);
    EXPECT_EQ(emu(right, "y"), emu(first, "y"));
    EXPECT_NEAR(emu(below, "y") / double(kEmuPerPoint), 198.9, 0.05);
    EXPECT_NEAR(emu(below, "y"), 2526100, 1);
    EXPECT_EQ(emu(below, "x"), emu(first, "x"));

    for (const QJsonValue& item : items) {
        expectAnchoredAt(item);
        EXPECT_EQ(item[QStringLiteral("anchor")].toString(), QStringLiteral("twoCellAnchor"));
        EXPECT_EQ(item[QStringLiteral("editAs")].toString(), QStringLiteral("oneCell"));
        if (item[QStringLiteral("kind")].toString() == QLatin1String("picture")) {
            // A frame of 1 point, solid black; the metafile embedded as it is.
            EXPECT_EQ(emu(item, "lineWidth"), 12700);
            EXPECT_FALSE(item[QStringLiteral("lineNone")].toBool());
            EXPECT_EQ(item[QStringLiteral("lineColor")].toString(), QStringLiteral("000000"));
            EXPECT_EQ(item[QStringLiteral("mediaType")].toString(), QStringLiteral("image/x-wmf"));
            EXPECT_EQ(item[QStringLiteral("mediaBytes")].toInt(), QFile(wmf).size());
        }
    }

    // Captions: 130.6 points below the picture's top, as wide as it, 30 high; two
    // centred lines of 9-point text.
    EXPECT_EQ(firstCaption[QStringLiteral("kind")].toString(), QStringLiteral("shape"));
    EXPECT_EQ(firstCaption[QStringLiteral("txBox")].toString(), QStringLiteral("1"));
    EXPECT_NEAR((emu(firstCaption, "y") - emu(first, "y")) / double(kEmuPerPoint), 130.6, 0.05);
    EXPECT_EQ(emu(firstCaption, "x"), emu(first, "x"));
    EXPECT_EQ(emu(firstCaption, "cx"), emu(first, "cx"));
    EXPECT_EQ(emu(firstCaption, "cy"), 30 * kEmuPerPoint);
    EXPECT_EQ(firstCaption[QStringLiteral("paragraphs")].toArray(),
              (QJsonArray{"name", QStringLiteral("ｵﾌﾞｼﾞｪｸﾄ数：5")}));
    EXPECT_EQ(firstCaption[QStringLiteral("align")].toArray(), (QJsonArray{"ctr", "ctr"}));
    EXPECT_EQ(firstCaption[QStringLiteral("sizes")].toArray(), (QJsonArray{"900"}));
    // Markup characters arrive as they are; a control character XML cannot carry is
    // left out rather than breaking the part.
    EXPECT_EQ(rightCaption[QStringLiteral("paragraphs")].toArray(),
              (QJsonArray{"A&B<c>x", QStringLiteral("ｵﾌﾞｼﾞｪｸﾄ数：0")}));

    // One picture per sheet: the bitmap at 10/10, no frame.
    const QJsonArray single =
        sheetNamed(read, QStringLiteral("A&B <\"c\">"))[QStringLiteral("drawing")].toArray();
    ASSERT_EQ(single.size(), 2);
    EXPECT_EQ(emu(single[0], "x"), 10 * kEmuPerPoint);
    EXPECT_EQ(emu(single[0], "y"), 10 * kEmuPerPoint);
    EXPECT_TRUE(single[0][QStringLiteral("lineNone")].toBool());
    EXPECT_EQ(single[0][QStringLiteral("mediaType")].toString(), QStringLiteral("image/png"));
    EXPECT_TRUE(sheetNamed(read, QStringLiteral("plan.dxf"))[QStringLiteral("drawing")]
                    .toArray()
                    .isEmpty());
}

TEST_F(XlsxWriterTest, PicturesRightOfFittedColumnsAnchorToThoseColumns) {
    Workbook& book = app.addWorkbook();
    Worksheet& sheet = book.worksheet(1);
    sheet.Cells(1, 1).setValue({{QStringLiteral("a rather long text in A")}});
    sheet.Cells(1, 1).autoFitColumns();
    Picture& picture = sheet.insertPicture(wmf);
    picture.setLeft(300);
    picture.setTop(40);
    const QString path = dir.filePath(QStringLiteral("wide.xlsx"));
    ASSERT_TRUE(writeXlsx(book, path));
    const QJsonObject read = korvel::test::readWorkbook(path);
    const QJsonObject first = read[QStringLiteral("sheets")].toArray()[0].toObject();
    const QJsonValue item = first[QStringLiteral("drawing")].toArray()[0];
    // Column A is as wide as the file says: its characters at 7 pixels plus 5, 9,525
    // EMU a pixel; the columns after it 64 pixels.
    const double widthA =
        first[QStringLiteral("widths")].toObject()[QStringLiteral("A")].toDouble();
    const qint64 columnA = qint64(std::trunc((256 * widthA + 18) / 256 * 7)) * 9525;
    const QJsonValue from = item[QStringLiteral("from")];
    const qint64 x = 300 * kEmuPerPoint;
    ASSERT_GT(x, columnA);
    EXPECT_EQ(emu(from, "col"), 1 + (x - columnA) / kColumnEmu);
    EXPECT_EQ(emu(from, "colOff"), (x - columnA) % kColumnEmu);
    EXPECT_EQ(emu(from, "row"), 2); // 40 points: two rows of 15 and 10 more
    EXPECT_EQ(emu(from, "rowOff"), 10 * kEmuPerPoint);
}

TEST_F(XlsxWriterTest, ANewEmptyWorkbookIsAValidFileToo) {
    const Workbook& book = app.addWorkbook();
    const QString path = dir.filePath(QStringLiteral("empty.xlsx"));
    ASSERT_TRUE(writeXlsx(book, path));
    const QJsonObject read = korvel::test::readWorkbook(path);
    EXPECT_EQ(read[QStringLiteral("sheets")].toArray().size(), 3);
    EXPECT_FALSE(
        read[QStringLiteral("names")].toArray().contains(QStringLiteral("xl/sharedStrings.xml")));
}

TEST_F(XlsxWriterTest, AWorkbookThatCannotBeWrittenLeavesNothing) {
    const Workbook& book = exportWorkbook(QStringLiteral("x"));
    // A "folder" that is a file: refused whoever runs the test.
    const QString file = dir.filePath(QStringLiteral("not-a-folder"));
    QFile(file).open(QIODevice::WriteOnly);
    QString why;
    EXPECT_FALSE(writeXlsx(book, file + QStringLiteral("/out.xlsx"), &why));
    EXPECT_FALSE(why.isEmpty());

    // A folder nobody may write to (root may, and then the test proves nothing).
    QDir locked(dir.filePath(QStringLiteral("locked")));
    ASSERT_TRUE(locked.mkpath(QStringLiteral(".")));
    QFile::setPermissions(locked.path(), QFile::ReadOwner | QFile::ExeOwner);
    QFile probe(locked.filePath(QStringLiteral("probe")));
    const bool asRoot = probe.open(QIODevice::WriteOnly);
    probe.remove();
    if (!asRoot) {
        why.clear();
        EXPECT_FALSE(writeXlsx(book, locked.filePath(QStringLiteral("out.xlsx")), &why));
        EXPECT_FALSE(why.isEmpty());
        EXPECT_TRUE(
            locked.entryList(QDir::NoDotAndDotDot | QDir::AllEntries | QDir::Hidden).isEmpty());
    }
    QFile::setPermissions(locked.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);

    // A second workbook written over the first replaces it whole, nothing left beside.
    const QString path = dir.filePath(QStringLiteral("twice.xlsx"));
    ASSERT_TRUE(writeXlsx(book, path));
    ASSERT_TRUE(writeXlsx(app.addWorkbook(), path));
    EXPECT_EQ(korvel::test::readWorkbook(path)[QStringLiteral("sheets")].toArray().size(), 3);
    EXPECT_EQ(QDir(dir.path()).entryList({QStringLiteral("twice*")}, QDir::Files),
              QStringList{QStringLiteral("twice.xlsx")});
}

} // namespace
