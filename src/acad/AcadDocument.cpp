#include "AcadDocument.h"

#include "platform/VbError.h"
#include "platform/VbErrorText.h"

namespace acad {

QString AcadDocument::Name() {
    return m_backend->name();
}
QString AcadDocument::FullName() {
    return m_backend->fullName();
}

AcadLayer AcadDocument::ActiveLayer() {
    return AcadLayer(m_backend, m_backend->getActiveLayer());
}

void AcadDocument::setActiveLayer(const AcadLayer& oLayer) {
    if (oLayer.isNull())
        throw platform::vbError(platform::vberr::ObjectNotSet);
    m_backend->setActiveLayer(oLayer.addressedName());
}

void AcadDocument::Regen(int iWhich) {
    m_backend->regen(iWhich);
}

} // namespace acad
