#pragma once

#include <QPointF>
#include <QRectF>
#include <QString>
#include <QVector>

namespace cadhost {

// Colour numbers with a special meaning; 1..255 are ACI colours.
namespace aci {
inline constexpr int ByBlock = 0;
inline constexpr int ByLayer = 256;
} // namespace aci

// Something to draw, in world coordinates. Curves are tessellated when a drawing is
// loaded, so every consumer (the window, the metafile export) draws only polylines,
// filled polygons and texts. Each primitive carries its effective layer and colour:
// parts of a block reference can lie on other layers than the reference itself.
struct Primitive {
    enum class Kind { Polyline, FilledPolygon, Text };

    Kind kind = Kind::Polyline;
    QString layer;            // effective layer: visibility and ByLayer colour
    int color = aci::ByLayer; // ACI 1..255 or ByLayer; ByBlock is resolved at load

    // Polyline and FilledPolygon
    QVector<QPointF> points;
    bool closed = false;

    // Text: position is the alignment point given by halign (0 left, 1 centre,
    // 2 right) on the baseline; height in drawing units; rotation in degrees,
    // counter-clockwise.
    QPointF position;
    double height = 0.0;
    double rotation = 0.0;
    QString text;
    int halign = 0;

    // World-space bounds; for text an estimate from height and character count.
    QRectF bounds() const;

    static Primitive polyline(const QString& layer, int color, QVector<QPointF> points,
                              bool closed = false);
    static Primitive filledPolygon(const QString& layer, int color, QVector<QPointF> points);
    static Primitive textAt(const QString& layer, int color, QPointF position, double height,
                            double rotation, const QString& text, int halign = 0);
};

} // namespace cadhost
