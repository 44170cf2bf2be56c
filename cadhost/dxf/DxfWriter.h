#pragma once

#include <QString>

namespace cadhost {
class Drawing;
}

namespace cadhost::dxf {

// Writes a drawing as a DXF of version AC1021 (UTF-8, so Japanese names and texts go
// out as they are) with the plain R12 structure: header, linetype and layer tables,
// blocks, entities, no object handles, which both dxflib and ezdxf read. Layers keep
// their order and states (on, frozen, locked, colour, linetype, and lineweight and plot
// flag as the codes 370 and 290); each entity stays one entity: one that draws as
// several primitives (a block reference, a hatch, a multi-line text) is written as a
// reference to a block of its own. Curves are written as the polylines they were
// tessellated into, so a curve comes back as a POLYLINE.
//
// Written through QSaveFile: a failed save leaves the previous file as it was.
// Failures throw platform::AutomationError (caderr::Failed).
class DxfWriter {
public:
    static void writeFile(const Drawing& drawing, const QString& path);
    static QByteArray toBytes(const Drawing& drawing);
};

} // namespace cadhost::dxf
