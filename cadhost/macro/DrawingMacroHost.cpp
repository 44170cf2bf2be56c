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

bool DrawingMacroHost::exportedIsCurrent() const {
    // A QPointer is null once its drawing is gone, so a new drawing at the old address
    // never matches a kept exporter.
    if (!m_exporter || !m_exported.drawing || m_exported.drawing != m_drawing)
        return false;
    if (m_exported.entities != m_drawing->entities().data() ||
        m_exported.entityCount != m_drawing->entities().size())
        return false;
    const std::vector<Layer>& layers = m_drawing->layers();
    if (std::size_t(m_exported.layerNames.size()) != layers.size())
        return false;
    // Checked before every picture of a thousand: a name not renamed since still shares
    // its text with the kept copy, so most names compare by address alone.
    for (std::size_t i = 0; i < layers.size(); ++i) {
        const QString& kept = m_exported.layerNames[qsizetype(i)];
        if (kept.constData() != layers[i].name.constData() && kept != layers[i].name)
            return false;
    }
    return true;
}

const DrawingMetafileExporter& DrawingMacroHost::exporter() {
    if (!exportedIsCurrent()) {
        m_exporter.reset();
        m_exporter = std::make_unique<DrawingMetafileExporter>(*m_drawing);
        m_exported = currentGeometry();
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
