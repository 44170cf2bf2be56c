#include "platform/spreadsheet/CellText.h"
#include "platform/spreadsheet/PictureFile.h"
#include "platform/spreadsheet/Spreadsheet.h"
#include "platform/spreadsheet/TextWidth.h"

#include <algorithm>
#include <cmath>

namespace spreadsheet {

namespace {

// The widest column the spreadsheet allows, in characters.
constexpr double kMaxColumnWidth = 255.0;
// Fitted text gets one character to spare: the standard font is proportional, and a
// capital or a wide glyph is broader than the digit the width is counted in.
constexpr double kFitMargin = 1.0;
// Borders are kept cell by cell; a range larger than this is refused rather than
// filling memory with millions of cells.
constexpr qint64 kMaxBorderedCells = 1'000'000;

QString nameText(const QVariant& name) {
    switch (name.typeId()) {
    case QMetaType::Double:
    case QMetaType::Float:
    case QMetaType::Bool:
        return shownText(name);
    default:
        return name.toString();
    }
}

void checkCell(int row, int column) {
    if (row < 1 || row > Worksheet::kRows || column < 1 || column > Worksheet::kColumns)
        throw SpreadsheetError(
            errRefusedValue,
            QStringLiteral("Cell (%1, %2) is outside the sheet.").arg(row).arg(column));
}

} // namespace

// --- Worksheet ----------------------------------------------------------------------

Worksheet::Worksheet(Workbook& book, QString name) : m_book(&book), m_name(std::move(name)) {}

Worksheet::~Worksheet() = default;

QString Worksheet::Name() const {
    return m_name;
}

void Worksheet::setName(const QVariant& name) {
    const QString text = nameText(name);
    if (!isAcceptedSheetName(text, m_book->sheetNames(this)))
        throw SpreadsheetError(errRefusedValue,
                               QStringLiteral("The sheet name \"%1\" is refused.").arg(text));
    m_name = text;
}

void Worksheet::Delete() {
    // Destroys this object when it succeeds: nothing may follow.
    m_book->remove(*this);
}

void Worksheet::Activate() {
    m_book->m_active = this;
}

Range Worksheet::Cells(int row, int column) {
    return Range(*this, row, column, row, column);
}

Range Worksheet::AllCells() {
    return Range(*this, 1, 1, kRows, kColumns);
}

Range Worksheet::RangeOf(const Range& corner1, const Range& corner2) {
    return Range(*this, std::min(corner1.firstRow(), corner2.firstRow()),
                 std::min(corner1.firstColumn(), corner2.firstColumn()),
                 std::max(corner1.lastRow(), corner2.lastRow()),
                 std::max(corner1.lastColumn(), corner2.lastColumn()));
}

Picture& Worksheet::insertPicture(const QString& path) {
    return insertPicture(path, readPictureFile(path));
}

Picture& Worksheet::insertPicture(const QString& path, PictureFile file) {
    m_pictures.push_back(std::unique_ptr<Picture>(new Picture(
        path, std::move(file.bytes), file.format, file.widthPoints, file.heightPoints)));
    m_drawing.push_back({m_pictures.back().get(), nullptr});
    return *m_pictures.back();
}

Shape& Worksheet::addTextbox(int orientation, double left, double top, double width,
                             double height) {
    if (!(width >= 0.0 && height >= 0.0))
        throw SpreadsheetError(errRefusedValue, QStringLiteral("A text box needs a size."));
    m_shapes.push_back(std::unique_ptr<Shape>(new Shape(orientation, left, top, width, height)));
    m_drawing.push_back({nullptr, m_shapes.back().get()});
    return *m_shapes.back();
}

QVariant Worksheet::cellValue(int row, int column) const {
    const auto at = m_cells.find({row, column});
    return at == m_cells.end() ? QVariant() : at->second.value;
}

Borders Worksheet::cellBorders(int row, int column) const {
    const auto at = m_cells.find({row, column});
    return at == m_cells.end() ? Borders() : at->second.borders;
}

double Worksheet::columnWidth(int column) const {
    const auto at = m_columnWidths.find(column);
    return at == m_columnWidths.end() ? 0.0 : at->second;
}

Worksheet::Cell& Worksheet::cellAt(int row, int column) {
    return m_cells[{row, column}];
}

void Worksheet::dropIfEmpty(int row, int column) {
    const auto at = m_cells.find({row, column});
    if (at != m_cells.end() && !at->second.value.isValid() && at->second.borders == Borders())
        m_cells.erase(at);
}

// --- Range --------------------------------------------------------------------------

Range::Range(Worksheet& sheet, int firstRow, int firstColumn, int lastRow, int lastColumn)
    : m_sheet(&sheet), m_firstRow(std::min(firstRow, lastRow)),
      m_firstColumn(std::min(firstColumn, lastColumn)), m_lastRow(std::max(firstRow, lastRow)),
      m_lastColumn(std::max(firstColumn, lastColumn)) {
    checkCell(m_firstRow, m_firstColumn);
    checkCell(m_lastRow, m_lastColumn);
}

// Cells of the range beyond the array are left as they are.
void Range::setValue(const QList<QList<QVariant>>& rows) {
    for (qsizetype r = 0; r < rows.size() && m_firstRow + r <= m_lastRow; ++r) {
        const int row = m_firstRow + int(r);
        const QList<QVariant>& values = rows[r];
        for (qsizetype c = 0; c < values.size() && m_firstColumn + c <= m_lastColumn; ++c) {
            const int column = m_firstColumn + int(c);
            const QVariant& value = values[c];
            if (cellKind(value) == CellKind::Empty) {
                if (m_sheet->m_cells.count({row, column})) {
                    m_sheet->cellAt(row, column).value = QVariant();
                    m_sheet->dropIfEmpty(row, column);
                }
                continue;
            }
            m_sheet->cellAt(row, column).value =
                cellKind(value) == CellKind::Text && value.typeId() != QMetaType::QString
                    ? QVariant(value.toString())
                    : value;
        }
    }
}

void Range::setBorders(const Borders& borders) {
    const qint64 cells =
        qint64(m_lastRow - m_firstRow + 1) * qint64(m_lastColumn - m_firstColumn + 1);
    if (cells > kMaxBorderedCells)
        throw SpreadsheetError(errRefusedValue,
                               QStringLiteral("Borders on more than %1 cells are not supported.")
                                   .arg(kMaxBorderedCells));
    for (int row = m_firstRow; row <= m_lastRow; ++row) {
        for (int column = m_firstColumn; column <= m_lastColumn; ++column) {
            m_sheet->cellAt(row, column).borders = borders;
            m_sheet->dropIfEmpty(row, column);
        }
    }
}

// Every cell of the columns counts, not only the range's rows, as EntireColumn does.
// A column with no text goes back to the standard width.
void Range::autoFitColumns() {
    std::map<int, double> widest;
    for (const auto& [at, cell] : m_sheet->m_cells) {
        const int column = at.second;
        if (column < m_firstColumn || column > m_lastColumn || !cell.value.isValid())
            continue;
        const double width = displayWidth(shownText(cell.value));
        double& w = widest[column];
        w = std::max(w, width);
    }
    auto& widths = m_sheet->m_columnWidths;
    for (auto it = widths.lower_bound(m_firstColumn);
         it != widths.end() && it->first <= m_lastColumn;) {
        it = widest.count(it->first) ? std::next(it) : widths.erase(it);
    }
    for (const auto& [column, width] : widest) {
        if (width > 0.0)
            widths[column] = std::min(kMaxColumnWidth, width + kFitMargin);
        else
            widths.erase(column);
    }
}

} // namespace spreadsheet
