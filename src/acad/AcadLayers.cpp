#include "AcadLayers.h"

namespace acad {

int AcadLayers::Count() {
    return m_doc->layerCount();
}

AcadLayer AcadLayers::Item(int iIndex) {
    return AcadLayer(m_doc, m_doc->layerName(iIndex));
}

AcadLayers::iterator AcadLayers::begin() {
    m_enumCount = m_doc->layerCount();
    return iterator(this, 0);
}

void AcadLayers::forEach(const std::function<void(AcadLayer&)>& fn) {
    for (AcadLayer layer : *this)
        fn(layer);
}

} // namespace acad
