#pragma once

#include <QList>
#include <QString>
#include <QVariant>

#include <memory>
#include <stdexcept>
#include <vector>

// The spreadsheet application as the export drives it: an in-process object model with
// the members the export uses and the spreadsheet's own rules where the export relies on
// them (which sheet names it refuses). A finished workbook is written as a standard
// .xlsx file by XlsxWriter and handed to the desktop's spreadsheet program.
//
// Objects are owned by their parent (application -> workbooks -> worksheets -> pictures
// and shapes); the references handed out stay valid until their parent is destroyed or,
// for a worksheet, until it is deleted.
namespace spreadsheet {

// The spreadsheet's constants the export passes, under the names its documentation uses.
inline constexpr int xlMinimized = -4140;
inline constexpr int xlNormal = -4143;
inline constexpr int xlContinuous = 1;
inline constexpr int xlThin = 2;
inline constexpr int xlColorIndexAutomatic = -4105;
inline constexpr int xlAutomatic = -4105;
inline constexpr int xlLineStyleNone = -4142;
inline constexpr int xlCenter = -4108;
inline constexpr int xlMove = 2;
inline constexpr int msoTextOrientationHorizontal = 1;

// A refused call, carrying the automation error number the spreadsheet raises
// (0x800A03EC for a refused sheet name, as the real one reports it).
class SpreadsheetError : public std::runtime_error {
public:
    SpreadsheetError(qint32 number, const QString& description);
    qint32 number() const { return m_number; }

private:
    qint32 m_number;
};

inline constexpr qint32 errRefusedValue = qint32(0x800A03EC);

// Black is 0, as the spreadsheet's RGB() gives it: red + green * 256 + blue * 65536.
using RgbColor = qint32;

struct Borders {
    int lineStyle = xlLineStyleNone;
    int weight = xlThin;
    int colorIndex = xlColorIndexAutomatic;
};

// A picture inserted from a file, kept as the bytes it was inserted from (a metafile
// stays a metafile in the workbook). Sizes and places in points.
class Picture {
public:
    QString sourcePath() const;
    QByteArray bytes() const;
    double Width() const;
    void setWidth(double points); // keeps the left and top edge
    double Height() const;
    void setHeight(double points);
    double Top() const;
    void setTop(double points);
    double Left() const;
    void setLeft(double points);

    struct BorderLine {
        int lineStyle = xlLineStyleNone;
        double weight = 0.75;
        RgbColor color = 0;
    };
    BorderLine& Border();
    const BorderLine& Border() const;
    // ... private state chosen by the implementer
};

// A text box shape: its text, alignment, font size and how it moves with the cells.
class Shape {
public:
    double Left() const;
    double Top() const;
    double Width() const;
    double Height() const;
    int orientation() const;
    QString text() const; // TextFrame.Characters.Text
    void setText(const QString& text);
    int horizontalAlignment() const; // TextFrame.HorizontalAlignment
    void setHorizontalAlignment(int alignment);
    double fontSize() const; // TextFrame.Characters.Font.Size
    void setFontSize(double points);
    int placement() const; // Placement
    void setPlacement(int placement);
};

class Worksheet;

// A rectangle of cells between two corners, 1-based rows and columns.
class Range {
public:
    Range(Worksheet& sheet, int firstRow, int firstColumn, int lastRow, int lastColumn);
    // Value = a whole array at once: rows.size() rows, each as wide as the range;
    // numbers stay numbers, strings stay strings.
    void setValue(const QList<QList<QVariant>>& rows);
    // Borders of every cell of the range (all edges).
    void setBorders(const Borders& borders);
    // EntireColumn.AutoFit: the range's columns fitted to their widest cell text.
    void autoFitColumns();
};

class Worksheet {
public:
    QString Name() const;
    // A string, or a number for the numbered sheets. Throws SpreadsheetError when the
    // spreadsheet refuses the name (see isAcceptedSheetName).
    void setName(const QVariant& name);
    void Delete(); // throws when it is the workbook's last sheet
    void Activate();
    Range Cells(int row, int column);
    Range AllCells(); // Cells without arguments
    Range RangeOf(const Range& corner1, const Range& corner2);
    // Pictures.Insert: the picture at its natural size (points, from the file's own
    // size), top left at the active cell (A1). Throws SpreadsheetError when the file
    // cannot be read or is not a picture.
    Picture& insertPicture(const QString& path);
    // Shapes.AddTextbox
    Shape& addTextbox(int orientation, double left, double top, double width, double height);

    // Read access for the writer and the tests.
    QVariant cellValue(int row, int column) const;
    Borders cellBorders(int row, int column) const;
    double columnWidth(int column) const; // in characters of the standard font; 0 = default
};

class Workbook {
public:
    int worksheetCount() const;                     // Worksheets.Count
    Worksheet& worksheet(int index);                // Worksheets(index), 1-based
    Worksheet& addWorksheetAfter(Worksheet& after); // Worksheets.Add(after:=)
    Worksheet* activeSheet() const;
};

class Application {
public:
    bool Visible() const;
    void setVisible(bool visible);
    int WindowState() const;
    void setWindowState(int state);
    QString Caption() const;
    Workbook& addWorkbook(); // Workbooks.Add
    bool ScreenUpdating() const;
    void setScreenUpdating(bool on);
    double CentimetersToPoints(double centimetres) const; // 1 cm = 72 / 2.54 points
};

// Whether the spreadsheet accepts `name` for a sheet of a workbook whose other sheets
// are named `others`: not empty, at most 31 characters, none of : \ / ? * [ ], no
// apostrophe at either end, not "History", not equal to another's name ignoring case.
bool isAcceptedSheetName(const QString& name, const QStringList& others);

} // namespace spreadsheet
