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
    if (drawing != m_drawing)
        m_exporter.reset();
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

const DrawingMetafileExporter& DrawingMacroHost::exporter() {
    if (!m_exporter)
        m_exporter = std::make_unique<DrawingMetafileExporter>(*m_drawing);
    return *m_exporter;
}

void DrawingMacroHost::exportVisible(const QString& path) {
    exporter().writeVisible(path);
}

void DrawingMacroHost::exportLayer(const QString& layer, const QString& path) {
    exporter().writeLayer(layer, path);
}

void DrawingMacroHost::endRun() {
    m_exporter.reset();
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
