#pragma once

#include "cadhost/macro/MacroHost.h"

#include <memory>

namespace cadhost {

class CadApplication;
class Drawing;
class DrawingMetafileExporter;
class MacroEngine;

// MacroHost over a drawing of the model: what the Lua bindings reach in the real host.
// The exporter (entities grouped by layer) is made on a run's first picture and
// dropped when the run ends, so every picture of a run shares one window and one pass
// over the entities.
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
    void endRun() override;

private:
    const DrawingMetafileExporter& exporter();

    Drawing* m_drawing = nullptr;
    std::unique_ptr<DrawingMetafileExporter> m_exporter;
};

// The Lua engine cadhost installs: its macros see the application's active document.
std::unique_ptr<MacroEngine> makeLuaMacroEngine(CadApplication& application);

} // namespace cadhost
