#include "cadhost/macro/DrawingMacroHost.h"

#include "cadhost/macro/LuaMacroEngine.h"
#include "cadhost/model/CadApplication.h"
#include "cadhost/model/Drawing.h"
#include "cadhost/render/DrawingMetafileExporter.h"

namespace cadhost {

namespace {

MacroLayer toMacroLayer(const Layer& layer) {
    return {layer.name, layer.layerOn, layer.freeze, layer.lock, layer.color};
}

} // namespace

DrawingMacroHost::DrawingMacroHost() = default;
DrawingMacroHost::~DrawingMacroHost() = default;

void DrawingMacroHost::setDrawing(Drawing* drawing) {
    m_drawing = drawing;
}

QList<MacroLayer> DrawingMacroHost::layers() const {
    QList<MacroLayer> result;
    result.reserve(qsizetype(m_drawing->layers().size()));
    for (const Layer& layer : m_drawing->layers())
        result << toMacroLayer(layer);
    return result;
}

std::optional<MacroLayer> DrawingMacroHost::layer(const QString& name) const {
    if (const Layer* found = m_drawing->findLayer(name))
        return toMacroLayer(*found);
    return std::nullopt;
}

QString DrawingMacroHost::activeLayer() const {
    return m_drawing->getActiveLayer();
}

void DrawingMacroHost::regen() {
    m_drawing->regen(1);
}

DrawingMacroHost::Geometry DrawingMacroHost::currentGeometry() const {
    Geometry g;
    g.drawing = m_drawing;
    g.entities = m_drawing->entities().data();
    g.entityCount = m_drawing->entities().size();
    g.layerNames.reserve(qsizetype(m_drawing->layers().size()));
    for (const Layer& layer : m_drawing->layers())
        g.layerNames << layer.name;
    return g;
}

const DrawingMetafileExporter& DrawingMacroHost::exporter() {
    Geometry now = currentGeometry();
    // A QPointer is null once its drawing is gone, so a new drawing at the old address
    // never matches a kept exporter.
    if (!m_exporter || !m_exported.drawing || !(now == m_exported)) {
        m_exporter.reset();
        m_exporter = std::make_unique<DrawingMetafileExporter>(*m_drawing);
        m_exported = std::move(now);
    }
    return *m_exporter;
}

void DrawingMacroHost::exportVisible(const QString& path) {
    exporter().writeVisible(path);
}

void DrawingMacroHost::exportLayer(const QString& layer, const QString& path) {
    exporter().writeLayer(layer, path);
}

std::unique_ptr<MacroEngine> makeLuaMacroEngine(CadApplication& application) {
    auto host = std::make_shared<DrawingMacroHost>();
    return std::make_unique<LuaMacroEngine>([&application, host]() -> MacroHost* {
        if (application.documentCount() == 0)
            return nullptr;
        host->setDrawing(application.activeDocument());
        return host.get();
    });
}

} // namespace cadhost
