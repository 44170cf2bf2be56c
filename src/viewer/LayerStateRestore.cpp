#include "LayerStateRestore.h"

#include "acad/AcadDocument.h"
#include "acad/AcadLayers.h"
#include "acad/basAcadUse.h"

LayerStateRestore::LayerStateRestore(acad::AcadDocument& oAcadDoc, QString sActiveLayer)
    : m_doc(oAcadDoc), m_activeLayer(std::move(sActiveLayer)),
      m_done(pu_typLayerState.size(), false) {}

void LayerStateRestore::restore(std::size_t k) {
    const typLayerState& rec = pu_typLayerState[k];
    acad::AcadLayer oLayer = m_doc.Layers().Item(rec.sName);
    oLayer.setLayerOn(rec.bLayerOn);
    oLayer.setFreeze(rec.bFreeze);
    m_done[k] = true;
}

void LayerStateRestore::all() {
    for (std::size_t k = 1; k < m_done.size(); ++k)
        if (!m_done[k] && pu_typLayerState[k].sName != m_activeLayer)
            restore(k);
}

std::vector<typLayerState> LayerStateRestore::rest() {
    std::vector<typLayerState> failed;
    for (std::size_t k = 1; k < m_done.size(); ++k) {
        if (m_done[k] || pu_typLayerState[k].sName == m_activeLayer)
            continue;
        try {
            restore(k);
        } catch (const std::exception&) {
            failed.push_back(pu_typLayerState[k]);
        }
    }
    return failed;
}
