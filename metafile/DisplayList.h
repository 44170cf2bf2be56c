#pragma once

#include <QBrush>
#include <QColor>
#include <QImage>
#include <QPainterPath>
#include <QPen>
#include <QPointF>
#include <QRectF>

#include <cstdint>
#include <vector>

class QPainter;

namespace metafile {

// The drawing commands of one metafile, kept in flat arrays and replayed
// straight onto a painter. Chosen over QPicture, which streams every
// coordinate through a QDataStream while recording and runs a byte-wise
// checksum over all of it when recording ends: for a large drawing that
// was most of the time spent loading, and the stream is decoded again on
// every paint.
//
// Clip changes recorded here narrow the painter's own clip (the exposed
// area) rather than replace it.
class DisplayList {
public:
    void setPen(const QPen& pen);
    void setBrush(const QBrush& brush);
    void setBackground(Qt::BGMode mode, const QColor& color);
    void setClip(const QPainterPath& path);
    void clearClip();

    void line(const QPointF& from, const QPointF& to);
    // Points are appended through the returned pointer, `count` of them.
    QPointF* polyline(int count);
    QPointF* polygon(int count, Qt::FillRule rule);
    void path(const QPainterPath& path);
    void ellipse(const QRectF& rect);
    void rect(const QRectF& rect);
    void roundedRect(const QRectF& rect, double rx, double ry);
    void fillRect(const QRectF& rect, const QBrush& brush);
    void image(const QRectF& target, const QImage& image, const QRectF& source);

    // Room for this many drawing commands and points, so that a large drawing fills
    // its arrays without growing and copying them again and again.
    void reserve(std::size_t commands, std::size_t points);

    // Called once every command is recorded: notes where each one can put pixels, so
    // that a replay skips what falls outside the painter's clip.
    void finish();

    bool isEmpty() const { return m_commands.empty(); }
    std::size_t commandCount() const { return m_commands.size(); }
    std::size_t pointCount() const { return m_points.size(); }
    void replay(QPainter& painter) const;

private:
    enum class Op : uint8_t {
        Pen,
        Brush,
        Background,
        Clip,
        NoClip,
        Line,
        Polyline,
        PolygonOddEven,
        PolygonWinding,
        Path,
        Ellipse,
        Rect,
        RoundedRect,
        FillRect,
        Image,
    };
    // `index` points into the array the op reads from; `count` is the number
    // of points or, for Background and FillRect, a second index.
    struct Command {
        Op op;
        uint32_t index;
        uint32_t count;
    };
    struct Background {
        Qt::BGMode mode;
        QColor color;
    };

    // Where a command can put pixels, in the frame, its pen's reach included. Floats
    // rounded outward: half the memory of QRectF for a list of a million commands.
    struct Bounds {
        float left, top, right, bottom;
    };

    void add(Op op, std::size_t index, std::size_t count = 0);

    std::vector<Command> m_commands;
    std::vector<QPointF> m_points;
    std::vector<QRectF> m_rects;
    std::vector<double> m_radii;
    std::vector<QPen> m_pens;
    std::vector<QBrush> m_brushes;
    std::vector<Background> m_backgrounds;
    std::vector<QPainterPath> m_paths;
    std::vector<QImage> m_images;
    // One per command once finished; empty before, and then everything is replayed.
    std::vector<Bounds> m_bounds;
    Bounds m_drawn{0, 0, 0, 0};
    // Device pixels that the widest cosmetic pen reaches beyond its geometry: the
    // frame units of a cosmetic pen depend on the scale of each replay.
    double m_cosmeticReach = 0;
};

} // namespace metafile
