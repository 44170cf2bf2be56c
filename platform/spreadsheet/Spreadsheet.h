#pragma once

#include "platform/VbError.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>
#include <QVariant>

#include <map>
#include <memory>
#include <utility>
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
// The rest of the families above, so that a value the export does not pass still means
// what the spreadsheet means by it.
inline constexpr int xlDash = -4115;
inline constexpr int xlDot = -4118;
inline constexpr int xlDouble = -4119;
inline constexpr int xlDashDot = 4;
inline constexpr int xlDashDotDot = 5;
inline constexpr int xlSlantDashDot = 13;
inline constexpr int xlHairline = 1;
inline constexpr int xlMedium = -4138;
inline constexpr int xlThick = 4;
inline constexpr int xlLeft = -4131;
inline constexpr int xlRight = -4152;
inline constexpr int xlJustify = -4130;
inline constexpr int xlDistributed = -4117;
inline constexpr int xlMoveAndSize = 1;
inline constexpr int xlFreeFloating = 3;

// A refused call, carrying the automation error number the spreadsheet raises
// (0x800A03EC for a refused sheet name, as the real one reports it). An automation
// error like the CAD's, so a trapped command reports it with its number.
class SpreadsheetError : public platform::AutomationError {
public:
    SpreadsheetError(qint32 number, const QString& description);
};

inline constexpr qint32 errRefusedValue = qint32(0x800A03EC);
// An index past the end of a collection (DISP_E_BADINDEX).
inline constexpr qint32 errBadIndex = qint32(0x8002000B);

// Black is 0, as the spreadsheet's RGB() gives it: red + green * 256 + blue * 65536.
using RgbColor = qint32;

struct Borders {
    int lineStyle = xlLineStyleNone;
    int weight = xlThin;
    int colorIndex = xlColorIndexAutomatic;

    bool operator==(const Borders&) const = default;
};

class Worksheet;
struct PictureFile;

// A picture inserted from a file, kept as the bytes it was inserted from (a metafile
// stays a metafile in the workbook). Sizes and places in points.
class Picture {
public:
    // What the bytes are, as the workbook's media part names them.
    enum class Format { Wmf, Png, Jpeg };

    QString sourcePath() const;
    QByteArray bytes() const;
    Format format() const { return m_format; }
    // The size the file gives itself, in points.
    double naturalWidth() const { return m_naturalWidth; }
    double naturalHeight() const { return m_naturalHeight; }
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

private:
    friend class Worksheet;
    Picture(QString path, QByteArray bytes, Format format, double width, double height);

    QString m_path;
    QByteArray m_bytes;
    Format m_format;
    double m_naturalWidth;
    double m_naturalHeight;
    double m_left = 0.0;
    double m_top = 0.0;
    double m_width;
    double m_height;
    BorderLine m_border;
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

private:
    friend class Worksheet;
    Shape(int orientation, double left, double top, double width, double height);

    int m_orientation;
    double m_left;
    double m_top;
    double m_width;
    double m_height;
    QString m_text;
    int m_alignment = xlLeft;
    double m_fontSize = 11.0;
    int m_placement = xlMoveAndSize;
};

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

    int firstRow() const { return m_firstRow; }
    int firstColumn() const { return m_firstColumn; }
    int lastRow() const { return m_lastRow; }
    int lastColumn() const { return m_lastColumn; }

private:
    Worksheet* m_sheet;
    int m_firstRow;
    int m_firstColumn;
    int m_lastRow;
    int m_lastColumn;
};

class Workbook;

class Worksheet {
public:
    // The spreadsheet's grid.
    static constexpr int kRows = 1048576;
    static constexpr int kColumns = 16384;

    QString Name() const;
    // A string, or a number for the numbered sheets. Throws SpreadsheetError when the
    // spreadsheet refuses the name (see isAcceptedSheetName).
    void setName(const QVariant& name);
    // Throws when it is the workbook's last sheet; otherwise the sheet is gone and every
    // reference to it dangles.
    void Delete();
    void Activate();
    Range Cells(int row, int column);
    Range AllCells(); // Cells without arguments
    Range RangeOf(const Range& corner1, const Range& corner2);
    // Pictures.Insert: the picture at its natural size (points, from the file's own
    // size), top left at the active cell (A1). Throws SpreadsheetError when the file
    // cannot be read or is not a picture.
    Picture& insertPicture(const QString& path);
    // The same with the picture already read from `path` (readPictureFile), for a caller
    // that first finds out whether there is a picture to place at all.
    Picture& insertPicture(const QString& path, PictureFile file);
    // Shapes.AddTextbox
    Shape& addTextbox(int orientation, double left, double top, double width, double height);

    // Read access for the writer and the tests.
    QVariant cellValue(int row, int column) const;
    Borders cellBorders(int row, int column) const;
    double columnWidth(int column) const; // in characters of the standard font; 0 = default

    struct Cell {
        QVariant value; // invalid = no value (a cell with borders only)
        Borders borders;
    };
    // Every cell that holds a value or borders, by (row, column).
    const std::map<std::pair<int, int>, Cell>& cells() const { return m_cells; }
    // Columns of a width of their own, by column.
    const std::map<int, double>& columnWidths() const { return m_columnWidths; }
    // Pictures and shapes in the order they were added, back to front: exactly one of
    // the two pointers is set.
    struct DrawingObject {
        const Picture* picture = nullptr;
        const Shape* shape = nullptr;
    };
    const std::vector<DrawingObject>& drawingObjects() const { return m_drawing; }
    const Workbook& workbook() const { return *m_book; }

    Worksheet(const Worksheet&) = delete;
    Worksheet& operator=(const Worksheet&) = delete;
    ~Worksheet();

private:
    friend class Workbook;
    friend class Range;
    Worksheet(Workbook& book, QString name);
    Cell& cellAt(int row, int column);
    void dropIfEmpty(int row, int column);

    Workbook* m_book;
    QString m_name;
    std::map<std::pair<int, int>, Cell> m_cells;
    std::map<int, double> m_columnWidths;
    std::vector<std::unique_ptr<Picture>> m_pictures;
    std::vector<std::unique_ptr<Shape>> m_shapes;
    std::vector<DrawingObject> m_drawing;
};

class Workbook {
public:
    int worksheetCount() const;                     // Worksheets.Count
    Worksheet& worksheet(int index);                // Worksheets(index), 1-based
    const Worksheet& worksheet(int index) const;    // the same, for reading
    Worksheet& addWorksheetAfter(Worksheet& after); // Worksheets.Add(after:=)
    Worksheet* activeSheet() const;
    // The names of all sheets but `except`, for the name rules.
    QStringList sheetNames(const Worksheet* except = nullptr) const;

    Workbook(const Workbook&) = delete;
    Workbook& operator=(const Workbook&) = delete;
    ~Workbook();

private:
    friend class Application;
    friend class Worksheet;
    explicit Workbook(int sheets);
    QString unusedDefaultName();
    void remove(Worksheet& sheet);

    std::vector<std::unique_ptr<Worksheet>> m_sheets;
    Worksheet* m_active = nullptr;
    int m_lastDefaultNumber = 0;
};

class Application {
public:
    Application();
    ~Application();
    Application(const Application&) = delete;
    Application& operator=(const Application&) = delete;

    bool Visible() const;
    void setVisible(bool visible);
    int WindowState() const;
    void setWindowState(int state);
    QString Caption() const;
    Workbook& addWorkbook(); // Workbooks.Add
    int workbookCount() const;
    bool ScreenUpdating() const;
    void setScreenUpdating(bool on);
    double CentimetersToPoints(double centimetres) const; // 1 cm = 72 / 2.54 points
    // How many sheets a new workbook starts with (SheetsInNewWorkbook); 3 by default, as
    // the spreadsheet versions the export was made for had it.
    int SheetsInNewWorkbook() const;
    void setSheetsInNewWorkbook(int sheets);

private:
    std::vector<std::unique_ptr<Workbook>> m_books;
    bool m_visible = false;
    int m_windowState = xlNormal;
    bool m_screenUpdating = true;
    int m_sheetsInNewWorkbook = 3;
};

// Whether the spreadsheet accepts `name` for a sheet of a workbook whose other sheets
// are named `others`: not empty, at most 31 characters, none of : \ / ? * [ ], no
// apostrophe at either end, not "History", not equal to another's name ignoring case.
// Characters a workbook file cannot hold (control characters) are refused too.
bool isAcceptedSheetName(const QString& name, const QStringList& others);

// A name the spreadsheet accepts, as close to `wanted` as can be: refused characters
// (control characters too) replaced by "_", apostrophes at either end dropped, cut to
// 31 characters, and " (2)", " (3)", ... added against a name another sheet has and
// against "History"; `fallback` when nothing is left.
QString acceptedSheetName(const QString& wanted, const QStringList& others,
                          const QString& fallback = QStringLiteral("Sheet"));

} // namespace spreadsheet
