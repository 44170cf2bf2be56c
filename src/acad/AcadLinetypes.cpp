#include "AcadLinetypes.h"

#include "automation/CadErrorNumbers.h"
#include "platform/VbError.h"

namespace acad {

AcadLinetypes::AcadLinetypes(std::shared_ptr<DocumentBackend> doc)
    : m_names(doc->linetypeNames()) {}

AcadLinetype AcadLinetypes::Item(int iIndex) const {
    if (iIndex < 0 || iIndex >= m_names.size())
        throw platform::AutomationError(caderr::InvalidArgument,
                                        QStringLiteral("Invalid argument"));
    return AcadLinetype(m_names.at(iIndex));
}

} // namespace acad
