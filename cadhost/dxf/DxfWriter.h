#pragma once

#include <QString>

namespace cadhost {
class Drawing;
}

namespace cadhost::dxf {

// Writes a drawing as an R12 DXF (AC1009), the version every DXF reader takes. Texts
// outside ASCII go out as \U+XXXX escapes, so Japanese layer names and texts survive
// any code page. Layers keep their order and states (on, frozen, locked, colour,
// linetype, and lineweight and plot flag as extra group codes our reader takes back);
// each entity stays one entity: one that draws as several primitives (a block
// reference, a hatch, a multi-line text) is written as a reference to a block of its
// own. Curves are written as the polylines they were tessellated into.
//
// Written through QSaveFile: a failed save leaves the previous file as it was.
// Failures throw platform::AutomationError (hosterr::Failed).
class DxfWriter {
public:
    static void writeFile(const Drawing& drawing, const QString& path);
    static QByteArray toBytes(const Drawing& drawing);
};

} // namespace cadhost::dxf
