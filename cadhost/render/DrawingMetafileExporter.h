#pragma once

#include <QRectF>
#include <QString>
#include <vector>

namespace cadhost {

class Drawing;
struct Primitive;

// Writes pictures of one drawing as placeable Windows metafiles. Every picture made by
// one exporter uses the same window (the extents of the whole drawing, every layer
// whatever its state, with a small margin) and the same natural size, so that a
// layer's picture lies exactly over the overview when both are scaled into boxes of
// the same geometry.
//
// The primitives are sorted by layer once, when the exporter is made; a picture of
// one layer then touches only that layer's primitives, and a run that writes a
// picture for each of a thousand layers reads the drawing once, not a thousand times.
// The exporter keeps pointers into the drawing: make a new one when entities change.
// Layer states and colours are read when a picture is written, so they may change in
// between.
class DrawingMetafileExporter {
public:
    // Margin around the drawing's extents, as a share of their longer side.
    static constexpr double kMargin = 0.02;
    static constexpr double kNaturalLongSideInches = 10.0;

    explicit DrawingMetafileExporter(const Drawing& drawing);

    const QRectF& window() const { return m_window; }
    static QRectF windowFor(const QRectF& extents);

    // Every primitive whose layer is on and thawed now, in drawing order: the overview,
    // simplified below a pixel of the largest box it is shown in (see
    // metafile::WmfWriter::setOverview).
    void writeVisible(const QString& path) const;
    // Every primitive of one layer (name without regard to case), whatever the layer's
    // state: the tile shows what lies on a layer also while it is off. Throws
    // AutomationError (KeyNotFound) for a layer the drawing does not have.
    void writeLayer(const QString& layer, const QString& path) const;

    // Both above throw platform::AutomationError (path/file access) when the file
    // cannot be written; the previous file, if any, is then left as it was.

private:
    struct Item {
        const Primitive* primitive;
        int layer; // index into the drawing's layers, -1 when the layer is unknown
    };
    template <typename Accept>
    void write(const QString& path, Accept accept, const std::vector<Item>& items,
               bool overview) const;

    const Drawing& m_drawing;
    QRectF m_window;
    std::vector<Item> m_items;                // drawing order
    std::vector<std::vector<Item>> m_byLayer; // per layer index, drawing order
};

} // namespace cadhost
