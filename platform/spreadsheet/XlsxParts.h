#pragma once

#include "platform/spreadsheet/Spreadsheet.h"

#include <QByteArray>
#include <QHash>
#include <QString>

#include <vector>

// The pieces of an .xlsx package the writer puts together: one function or class per
// kind of part. Internal to the writer; the tests read the package back independently.
namespace spreadsheet::xlsx {

struct Part {
    QString name; // path inside the package
    QByteArray data;
    bool compress = true;
};

// 1 pt = 12,700 EMU; 1 pixel at 96 per inch = 9,525 EMU.
inline constexpr qint64 kEmuPerPoint = 12700;
inline constexpr qint64 kEmuPerPixel = 9525;

qint64 toEmu(double points);

// The sheet's grid in EMU as the spreadsheet lays it out with the workbook's standard
// font (11 pt, digits 7 pixels wide): columns of their own width or 64 pixels, rows of
// 15 points. Drawing objects are anchored to cells through it.
class Grid {
public:
    static constexpr int kMaxDigitPixels = 7;
    static constexpr qint64 kDefaultColumnEmu = 64 * kEmuPerPixel;
    static constexpr qint64 kRowEmu = 15 * kEmuPerPoint;
    static constexpr double kDefaultRowPoints = 15.0;

    explicit Grid(const Worksheet& sheet);

    struct Place {
        int index;     // 0-based column or row
        qint64 offset; // EMU into it
    };
    Place column(qint64 emu) const;
    Place row(qint64 emu) const;

    // A width in characters of the standard font as the file stores it (padding included).
    static double fileColumnWidth(double characters);
    static qint64 columnEmu(double characters);

private:
    const std::map<int, double>& m_widths;
};

// The workbook's strings, each stored once and referred to by index.
class SharedStrings {
public:
    int indexOf(const QString& text);
    QByteArray xml() const;
    bool isEmpty() const { return m_strings.isEmpty(); }

private:
    QHash<QString, int> m_index;
    QStringList m_strings;
    int m_uses = 0;
};

// The cell formats the cells need: one per distinct set of borders.
class Styles {
public:
    int formatOf(const Borders& borders); // the cellXfs index
    QByteArray xml() const;

private:
    std::vector<Borders> m_borders; // of formats 1, 2, ...; format 0 has none
};

QByteArray sheetXml(const Worksheet& sheet, bool selected, bool hasDrawing, SharedStrings& strings,
                    Styles& styles);

// A sheet's drawing part with its relationships and the pictures it embeds.
// `nextImage` numbers the media files across the workbook.
struct Drawing {
    QByteArray xml;
    QByteArray rels;
    std::vector<Part> media;
};
Drawing drawing(const Worksheet& sheet, int& nextImage);

// The parts around the sheets.
QByteArray contentTypesXml(int sheets, const std::vector<int>& drawings, bool sharedStrings,
                           const QSet<QString>& mediaExtensions);
QByteArray packageRelsXml();
QByteArray corePropertiesXml();
QByteArray appPropertiesXml(const QStringList& sheetNames);
QByteArray workbookXml(const Workbook& book);
QByteArray workbookRelsXml(int sheets, bool sharedStrings);
QByteArray sheetRelsXml(int drawing);

} // namespace spreadsheet::xlsx
