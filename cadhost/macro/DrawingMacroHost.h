#pragma once

#include "cadhost/macro/MacroHost.h"

#include <QPointer>
#include <QStringList>
#include <memory>

namespace cadhost {

class CadApplication;
class Drawing;
class DrawingMetafileExporter;
class MacroEngine;

// MacroHost over a drawing of the model: what the Lua bindings reach in the real host.
// The exporter (entities grouped by layer, the window) is made on the first picture
// and kept while the drawing's geometry stays the same: the macros of one refresh run
// back to back on an unchanged drawing and share it, so every picture of a refresh has
// one window and the entities are grouped once. The model only appends entities, and
// renames or removes layers; the kept exporter is checked against the drawing object,
// its entity storage and count, and its layer names before each use.
class DrawingMacroHost final : public MacroHost {
public:
    DrawingMacroHost();
    ~DrawingMacroHost() override;

    void setDrawing(Drawing* drawing);
    Drawing* drawing() const { return m_drawing; }

    QList<MacroLayer> layers() const override;
    std::optional<MacroLayer> layer(const QString& name) const override;
    QString activeLayer() const override;
    void regen() override;
    void exportVisible(const QString& path) override;
    void exportLayer(const QString& layer, const QString& path) override;

private:
    struct Geometry {
        QPointer<Drawing> drawing;
        const void* entities = nullptr;
        std::size_t entityCount = 0;
        QStringList layerNames;
    };
    Geometry currentGeometry() const;
    bool exportedIsCurrent() const;
    const DrawingMetafileExporter& exporter();

    QPointer<Drawing> m_drawing;
    Geometry m_exported;
    std::unique_ptr<DrawingMetafileExporter> m_exporter;
};

// The Lua engine cadhost installs: its macros see the application's active document.
std::unique_ptr<MacroEngine> makeLuaMacroEngine(CadApplication& application);

} // namespace cadhost
