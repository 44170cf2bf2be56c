#include "platform/spreadsheet/CellText.h"
#include "platform/spreadsheet/XlsxParts.h"
#include "platform/spreadsheet/XmlText.h"

#include <charconv>
#include <cmath>

namespace spreadsheet::xlsx {

namespace {

const char* const kXmlHeader = "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\n";
const char* const kMainNs = "http://schemas.openxmlformats.org/spreadsheetml/2006/main";
const char* const kRelNs = "http://schemas.openxmlformats.org/officeDocument/2006/relationships";

QString columnName(int column) {
    QString name;
    for (; column > 0; column = (column - 1) / 26)
        name.prepend(QChar(u'A' + (column - 1) % 26));
    return name;
}

QString cellRef(int row, int column) {
    return columnName(column) + QString::number(row);
}

// The shortest text that reads back as the same double.
QString numberText(const QVariant& value) {
    if (value.typeId() != QMetaType::Double && value.typeId() != QMetaType::Float)
        return value.toString();
    char buffer[32];
    const auto [end, ec] = std::to_chars(buffer, buffer + sizeof buffer, value.toDouble());
    return ec == std::errc() ? QString::fromLatin1(buffer, end - buffer) : QStringLiteral("0");
}

QString decimal(double v) {
    char buffer[32];
    const auto [end, ec] = std::to_chars(buffer, buffer + sizeof buffer, v);
    return ec == std::errc() ? QString::fromLatin1(buffer, end - buffer) : QStringLiteral("0");
}

QString borderStyle(const Borders& b) {
    const bool medium = b.weight == xlMedium || b.weight == xlThick;
    switch (b.lineStyle) {
    case xlLineStyleNone:
        return {};
    case xlDash:
        return medium ? QStringLiteral("mediumDashed") : QStringLiteral("dashed");
    case xlDot:
        return QStringLiteral("dotted");
    case xlDouble:
        return QStringLiteral("double");
    case xlDashDot:
        return medium ? QStringLiteral("mediumDashDot") : QStringLiteral("dashDot");
    case xlDashDotDot:
        return medium ? QStringLiteral("mediumDashDotDot") : QStringLiteral("dashDotDot");
    case xlSlantDashDot:
        return QStringLiteral("slantDashDot");
    default: // continuous, or automatic
        switch (b.weight) {
        case xlHairline:
            return QStringLiteral("hair");
        case xlMedium:
            return QStringLiteral("medium");
        case xlThick:
            return QStringLiteral("thick");
        default:
            return QStringLiteral("thin");
        }
    }
}

// ColorIndex 1 to 56 are the palette's entries 8 to 63.
QString borderColor(const Borders& b) {
    if (b.colorIndex >= 1 && b.colorIndex <= 56)
        return QStringLiteral("<color indexed=\"%1\"/>").arg(b.colorIndex + 7);
    return QStringLiteral("<color auto=\"1\"/>");
}

} // namespace

qint64 toEmu(double points) {
    return std::llround(points * double(kEmuPerPoint));
}

// --- Grid ---------------------------------------------------------------------------

Grid::Grid(const Worksheet& sheet) : m_widths(sheet.columnWidths()) {}

double Grid::fileColumnWidth(double characters) {
    // The file's width holds five pixels of cell padding beside the characters.
    return std::trunc((characters * kMaxDigitPixels + 5.0) / kMaxDigitPixels * 256.0) / 256.0;
}

qint64 Grid::columnEmu(double characters) {
    const double width = fileColumnWidth(characters);
    const double pixels =
        std::trunc((256.0 * width + std::trunc(128.0 / kMaxDigitPixels)) / 256.0 * kMaxDigitPixels);
    return qint64(pixels) * kEmuPerPixel;
}

Grid::Place Grid::column(qint64 emu) const {
    emu = std::max<qint64>(0, emu);
    qint64 start = 0;
    int next = 1; // first column not yet passed, 1-based
    for (const auto& [column, characters] : m_widths) {
        const qint64 span = qint64(column - next) * kDefaultColumnEmu;
        if (emu < start + span) {
            const qint64 k = (emu - start) / kDefaultColumnEmu;
            return {int(next - 1 + k), emu - start - k * kDefaultColumnEmu};
        }
        start += span;
        const qint64 width = columnEmu(characters);
        if (emu < start + width)
            return {column - 1, emu - start};
        start += width;
        next = column + 1;
    }
    const qint64 k = (emu - start) / kDefaultColumnEmu;
    return {int(next - 1 + k), emu - start - k * kDefaultColumnEmu};
}

Grid::Place Grid::row(qint64 emu) const {
    emu = std::max<qint64>(0, emu);
    return {int(emu / kRowEmu), emu % kRowEmu};
}

// --- SharedStrings ------------------------------------------------------------------

int SharedStrings::indexOf(const QString& text) {
    ++m_uses;
    const auto at = m_index.constFind(text);
    if (at != m_index.constEnd())
        return *at;
    m_strings << text;
    m_index.insert(text, int(m_strings.size() - 1));
    return int(m_strings.size() - 1);
}

QByteArray SharedStrings::xml() const {
    QString out = QString::fromLatin1(kXmlHeader);
    out += QStringLiteral("<sst xmlns=\"%1\" count=\"%2\" uniqueCount=\"%3\">")
               .arg(QLatin1String(kMainNs))
               .arg(m_uses)
               .arg(m_strings.size());
    for (const QString& s : m_strings) {
        // Spaces at either end or line breaks are kept only when asked for.
        const bool keepSpace =
            s.startsWith(u' ') || s.endsWith(u' ') || s.contains(u'\n') || s.contains(u'\t');
        out +=
            keepSpace ? QLatin1String("<si><t xml:space=\"preserve\">") : QLatin1String("<si><t>");
        out += xml::cellString(s);
        out += QLatin1String("</t></si>");
    }
    out += QLatin1String("</sst>");
    return out.toUtf8();
}

// --- Styles -------------------------------------------------------------------------

int Styles::formatOf(const Borders& borders) {
    if (borderStyle(borders).isEmpty())
        return 0;
    for (size_t i = 0; i < m_borders.size(); ++i) {
        if (m_borders[i] == borders)
            return int(i + 1);
    }
    m_borders.push_back(borders);
    return int(m_borders.size());
}

QByteArray Styles::xml() const {
    QString out = QString::fromLatin1(kXmlHeader);
    out += QStringLiteral("<styleSheet xmlns=\"%1\">").arg(QLatin1String(kMainNs));
    out += QLatin1String("<fonts count=\"1\"><font><sz val=\"11\"/>"
                         "<name val=\"Calibri\"/><family val=\"2\"/></font></fonts>"
                         "<fills count=\"2\"><fill><patternFill patternType=\"none\"/></fill>"
                         "<fill><patternFill patternType=\"gray125\"/></fill></fills>");
    out += QStringLiteral("<borders count=\"%1\">").arg(m_borders.size() + 1);
    out += QLatin1String("<border><left/><right/><top/><bottom/><diagonal/></border>");
    for (const Borders& b : m_borders) {
        const QString edge = QStringLiteral(" style=\"%1\">%2").arg(borderStyle(b), borderColor(b));
        out += QStringLiteral("<border><left%1</left><right%1</right><top%1</top>"
                              "<bottom%1</bottom><diagonal/></border>")
                   .arg(edge);
    }
    out += QLatin1String("</borders>");
    out += QLatin1String("<cellStyleXfs count=\"1\"><xf numFmtId=\"0\" fontId=\"0\" fillId=\"0\" "
                         "borderId=\"0\"/></cellStyleXfs>");
    out += QStringLiteral("<cellXfs count=\"%1\">").arg(m_borders.size() + 1);
    out +=
        QLatin1String("<xf numFmtId=\"0\" fontId=\"0\" fillId=\"0\" borderId=\"0\" xfId=\"0\"/>");
    for (size_t i = 0; i < m_borders.size(); ++i) {
        out += QStringLiteral("<xf numFmtId=\"0\" fontId=\"0\" fillId=\"0\" borderId=\"%1\" "
                              "xfId=\"0\" applyBorder=\"1\"/>")
                   .arg(i + 1);
    }
    out += QLatin1String("</cellXfs><cellStyles count=\"1\"><cellStyle name=\"Normal\" xfId=\"0\" "
                         "builtinId=\"0\"/></cellStyles></styleSheet>");
    return out.toUtf8();
}

// --- the sheet ----------------------------------------------------------------------

QByteArray sheetXml(const Worksheet& sheet, bool selected, bool hasDrawing, SharedStrings& strings,
                    Styles& styles) {
    const auto& cells = sheet.cells();
    QString out = QString::fromLatin1(kXmlHeader);
    out += QStringLiteral("<worksheet xmlns=\"%1\" xmlns:r=\"%2\">")
               .arg(QLatin1String(kMainNs), QLatin1String(kRelNs));
    if (!cells.empty()) {
        int lastColumn = 1;
        for (const auto& entry : cells)
            lastColumn = std::max(lastColumn, entry.first.second);
        int firstColumn = lastColumn;
        for (const auto& entry : cells)
            firstColumn = std::min(firstColumn, entry.first.second);
        out += QStringLiteral("<dimension ref=\"%1:%2\"/>")
                   .arg(cellRef(cells.begin()->first.first, firstColumn),
                        cellRef(cells.rbegin()->first.first, lastColumn));
    }
    out += selected
               ? QLatin1String("<sheetViews><sheetView tabSelected=\"1\" workbookViewId=\"0\"/>"
                               "</sheetViews>")
               : QLatin1String("<sheetViews><sheetView workbookViewId=\"0\"/></sheetViews>");
    out += QStringLiteral("<sheetFormatPr defaultRowHeight=\"%1\"/>")
               .arg(decimal(Grid::kDefaultRowPoints));
    if (!sheet.columnWidths().empty()) {
        out += QLatin1String("<cols>");
        for (const auto& [column, characters] : sheet.columnWidths()) {
            out += QStringLiteral("<col min=\"%1\" max=\"%1\" width=\"%2\" customWidth=\"1\"/>")
                       .arg(column)
                       .arg(decimal(Grid::fileColumnWidth(characters)));
        }
        out += QLatin1String("</cols>");
    }
    out += QLatin1String("<sheetData>");
    int openRow = 0;
    for (const auto& [at, cell] : cells) {
        const auto [row, column] = at;
        if (row != openRow) {
            if (openRow)
                out += QLatin1String("</row>");
            out += QStringLiteral("<row r=\"%1\">").arg(row);
            openRow = row;
        }
        out += QStringLiteral("<c r=\"%1\"").arg(cellRef(row, column));
        if (const int format = styles.formatOf(cell.borders))
            out += QStringLiteral(" s=\"%1\"").arg(format);
        switch (cellKind(cell.value)) {
        case CellKind::Empty:
            out += QLatin1String("/>");
            break;
        case CellKind::Number:
            if (!std::isfinite(cell.value.toDouble()))
                out += QLatin1String(" t=\"e\"><v>#NUM!</v></c>");
            else
                out += QStringLiteral("><v>%1</v></c>").arg(numberText(cell.value));
            break;
        case CellKind::Boolean:
            out += QStringLiteral(" t=\"b\"><v>%1</v></c>").arg(cell.value.toBool() ? 1 : 0);
            break;
        case CellKind::Text:
            out += QStringLiteral(" t=\"s\"><v>%1</v></c>")
                       .arg(strings.indexOf(cell.value.toString()));
            break;
        }
    }
    if (openRow)
        out += QLatin1String("</row>");
    out += QLatin1String("</sheetData>"
                         "<pageMargins left=\"0.7\" right=\"0.7\" top=\"0.75\" bottom=\"0.75\" "
                         "header=\"0.3\" footer=\"0.3\"/>");
    if (hasDrawing)
        out += QLatin1String("<drawing r:id=\"rId1\"/>");
    out += QLatin1String("</worksheet>");
    return out.toUtf8();
}

} // namespace spreadsheet::xlsx
