// The layer table of a Drawing: lookup by name in any case, the current layer, adding
// and deleting layers. Layer properties are in Drawing_LayerProperties.cpp.
#include "cadhost/model/Drawing.h"

#include "cadhost/model/CadErrors.h"

#include <algorithm>

namespace cadhost {

using caderr::FrozenLayerCurrent;
using caderr::KeyNotFound;

void Drawing::rebuildLayerIndex() {
    m_layerIndex.clear();
    m_layerIndex.reserve(qsizetype(m_layers.size()));
    for (int i = 0; i < int(m_layers.size()); ++i)
        m_layerIndex.insert(nameKey(m_layers[std::size_t(i)].name), i);
}

int Drawing::layerIndex(const QString& name) const {
    return m_layerIndex.value(nameKey(name), -1);
}

const Layer* Drawing::findLayer(const QString& name) const {
    const int i = layerIndex(name);
    return i < 0 ? nullptr : &m_layers[std::size_t(i)];
}

Layer& Drawing::layerRef(const QString& name) {
    const int i = layerIndex(name);
    if (i < 0)
        throwCadError(KeyNotFound);
    return m_layers[std::size_t(i)];
}

const Layer& Drawing::layerRef(const QString& name) const {
    const int i = layerIndex(name);
    if (i < 0)
        throwCadError(KeyNotFound);
    return m_layers[std::size_t(i)];
}

void Drawing::putLayer(const Layer& layer) {
    if (layer.name.isEmpty())
        throwCadError(caderr::InvalidArgument,
                      QStringLiteral("Invalid layer name \"%1\"").arg(layer.name));
    const int i = layerIndex(layer.name);
    if (i >= 0) {
        m_layers[std::size_t(i)] = layer;
        return;
    }
    m_layers.push_back(layer);
    m_layerIndex.insert(nameKey(layer.name), int(m_layers.size()) - 1);
}

void Drawing::addOutsideReference(const QString& layer) {
    m_outsideReferences.insert(nameKey(layer));
}

QString Drawing::getActiveLayer() const {
    return m_activeLayer;
}

void Drawing::setActiveLayer(const QString& name) {
    const Layer& layer = layerRef(name);
    if (layer.freeze)
        throwCadError(FrozenLayerCurrent);
    m_activeLayer = layer.name;
}

void Drawing::regen(int which) {
    Q_UNUSED(which); // one view here: all viewports and the active one are the same
    ++m_regenCount;
    emit regenerated();
}

QString Drawing::layerName(int index) const {
    if (index < 0 || index >= layerCount())
        throwCadError(KeyNotFound);
    return m_layers[std::size_t(index)].name;
}

QString Drawing::addLayer(const QString& name) {
    if (!isValidLayerName(name))
        refuseLayerName(name);
    if (const Layer* existing = findLayer(name))
        return existing->name;
    Layer layer;
    layer.name = name;
    putLayer(layer);
    return name;
}

void Drawing::deleteLayer(const QString& name) {
    const int i = layerIndex(name);
    if (i < 0)
        throwCadError(KeyNotFound);
    const QString key = nameKey(name);
    // "0" and "Defpoints" belong to the CAD itself (Defpoints holds the definition
    // points of dimensions): a CAD never lets them go, used or not.
    if (key == QLatin1String("0") || key == QLatin1String("defpoints"))
        throwCadError(caderr::ObjectReferenced,
                      QStringLiteral("Layer \"%1\" cannot be deleted").arg(layerName(i)));
    if (key == nameKey(m_activeLayer))
        throwCadError(caderr::ObjectReferenced,
                      QStringLiteral("The current layer cannot be deleted"));
    if (m_outsideReferences.contains(key) || entityCountOnLayer(name) > 0)
        throwCadError(caderr::ObjectReferenced);
    m_layers.erase(m_layers.begin() + i);
    rebuildLayerIndex();
}

int Drawing::entityCountOnLayer(const QString& layer) const {
    const QString key = nameKey(layer);
    return int(std::count_if(m_entities.begin(), m_entities.end(),
                             [&](const Entity& e) { return nameKey(e.layer) == key; }));
}

} // namespace cadhost
