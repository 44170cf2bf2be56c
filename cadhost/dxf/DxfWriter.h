#pragma once

#include <QString>

namespace cadhost {
class Drawing;
}

namespace cadhost::dxf {

// A drawing read from a DXF file is written back as that file with only its layers
// rewritten (see DxfSource): the host changes nothing else, and a save must not lose
// what the model does not hold (paper space, blocks, curves, objects).
//
// A new drawing is written as a DXF of version AC1021 (UTF-8, so Japanese names and texts go
// out as they are) with the plain R12 structure: header, linetype and layer tables,
// blocks, entities, no object handles, which both dxflib and ezdxf read. Layers keep
// their order and states (on, frozen, locked, colour, linetype, and lineweight and plot
// flag as the codes 370 and 290); each entity stays one entity: one that draws as
// several primitives (a block reference, a hatch, a multi-line text) is written as a
// reference to a block of its own. Curves are written as the polylines they were
// tessellated into, so a curve comes back as a POLYLINE.
//
// Written whole or not at all: a failed save leaves the previous file as it was.
// Failures throw platform::AutomationError (caderr::Failed).
class DxfWriter {
public:
    static void writeFile(const Drawing& drawing, const QString& path);
    static QByteArray toBytes(const Drawing& drawing);
    // The whole file made from the model, as for a drawing that never had one.
    static QByteArray newFile(const Drawing& drawing);
};

} // namespace cadhost::dxf
