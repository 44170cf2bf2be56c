#pragma once

#include "metafile/TextCodec.h"

#include <QByteArray>
#include <QColor>
#include <QPointF>
#include <QPolygonF>
#include <QRectF>
#include <QString>

#include <cstdint>
#include <utility>
#include <vector>

namespace metafile {

// Writes a placeable Windows metafile from drawing entities given in world
// coordinates (y up, the CAD's convention).
//
// The world window is mapped onto a fixed logical space whose longer side is
// `kLogicalLongSide` units; the units-per-inch field makes the longer side
// `naturalLongSideInches` long. The bounding box and the window extents depend
// only on the window and the natural size, never on what is drawn, so every
// picture of one refresh lies exactly over the others when they are scaled
// into boxes of the same geometry.
//
// Objects are kept to a minimum: one pen, one brush and one font at a time,
// recreated only when the colour (or font) changes, and the old one deleted,
// so the object table never grows with the number of entities. An overview
// (setOverview) keeps a pen and a brush per colour instead, a bounded number.
class WmfWriter {
public:
    static constexpr int kLogicalLongSide = 30000;

    explicit WmfWriter(const QRectF& worldWindow, double naturalLongSideInches = 10.0);

    // A picture of a whole drawing is only ever seen whole, scaled into a box whose
    // long side is at most kLargestBoxPixels: there one logical unit is about a pixel.
    // For such a picture outlines drop the points that lie within kOverviewTolerance
    // units (under a pixel at that size) of the line through the points kept around
    // them, and pens and brushes are kept for each colour instead of being made again
    // at every change of colour: in drawing order, where neighbouring entities lie on
    // different layers, that was two of every three records. Pictures of one layer stay
    // exact.
    static constexpr int kLargestBoxPixels = 32767;
    static constexpr double kOverviewTolerance = 0.9 * kLogicalLongSide / kLargestBoxPixels;
    void setOverview(bool overview) { m_overview = overview; }

    // Pen colour for lines and outlines, brush colour for fills, text colour.
    void setColor(QColor color);

    void polyline(const QPolygonF& world, bool closed = false);
    void filledPolygon(const QPolygonF& world);
    // heightWorld is the character height; rotation counter-clockwise in degrees. A text
    // that no one character set holds goes out as runs, one font each (see TextCodec),
    // that follow one another from the current position.
    void text(const QPointF& world, const QString& text, double heightWorld, double rotationDegrees,
              Qt::Alignment align = Qt::AlignLeft | Qt::AlignBaseline);

    // Room for this many words of records. The largest pictures run to a hundred
    // megabytes; grown step by step, the buffer would for a moment be held twice.
    // Room never written to costs no memory, so an estimate on the high side is free.
    void reserveWords(std::size_t words) { m_words.reserve(words); }

    QByteArray toBytes() const;
    // Makes the file or rewrites it in place; a write that fails removes it, so that
    // no half picture is left under its name. False when it could not be written.
    bool save(const QString& path) const;

    // Geometry of the logical space, for callers and tests.
    int logicalWidth() const { return m_logicalWidth; }
    int logicalHeight() const { return m_logicalHeight; }
    int unitsPerInch() const { return m_unitsPerInch; }
    QPointF toLogical(const QPointF& world) const;
    int recordCount() const { return m_recordCount; }

private:
    struct Point16 {
        int16_t x;
        int16_t y;
    };

    QByteArray headerBytes() const; // the placeable header and the metafile header
    bool writeTo(int fd) const;
    void beginRecord(uint16_t function, uint32_t sizeWords);
    void word(uint16_t w) { m_words.push_back(w); }
    void ensurePen();
    void ensureBrush();
    void ensureTextColor();
    void ensureFont(int height, int escapement, uint8_t charset);
    void ensureTextAlign(uint16_t align);
    void textOut(const QPointF& logical, const QByteArray& bytes);
    int allocateObject();
    void deleteObject(int index);
    void emitPoints(uint16_t function, const Point16* points, int count);
    void toLogicalPoints(const QPolygonF& world, bool closed);
    void simplifyScratch();
    // In an overview: selects the kept object of this colour, true when there is one.
    bool selectKept(std::vector<std::pair<QRgb, int>>& kept, QRgb rgb, int& current);
    // In an overview: remembers the object just made and selected for this colour.
    void keep(std::vector<std::pair<QRgb, int>>& kept, QRgb rgb, int selected);

    double m_scale = 1.0;
    double m_worldLeft = 0.0;
    double m_worldTop = 0.0;
    int m_logicalWidth = 1;
    int m_logicalHeight = 1;
    int m_unitsPerInch = 1;

    QColor m_color = Qt::black;
    std::vector<uint16_t> m_words;
    std::vector<Point16> m_scratch; // reused for every entity: no per-record allocation
    std::vector<bool> m_slots;      // object table occupancy, lowest free slot first
    int m_maxObjects = 0;
    uint32_t m_maxRecordWords = 3;
    int m_recordCount = 0;

    bool m_overview = false;
    std::vector<std::pair<QRgb, int>> m_keptPens;    // overview: colour, object index
    std::vector<std::pair<QRgb, int>> m_keptBrushes; // overview: colour, object index

    int m_pen = -1;
    bool m_penNull = false;
    QRgb m_penColor = 0;
    int m_brush = -1;
    QRgb m_brushColor = 0;
    int m_font = -1;
    int m_fontHeight = 0;
    int m_fontEscapement = 0;
    uint8_t m_fontCharset = 0;
    bool m_textColorSet = false;
    QRgb m_textColor = 0;
    int m_textAlign = -1;
    TextCodec m_codec;
};

} // namespace metafile
