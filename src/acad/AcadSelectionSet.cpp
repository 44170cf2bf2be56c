#include "AcadSelectionSet.h"

#include "automation/CadErrorNumbers.h"
#include "platform/VbError.h"

namespace acad {

void AcadSelectionSet::Clear() {
    m_doc->clearSelectionSet(m_name);
}

void AcadSelectionSet::Select(int iMode, const QList<int>& filterType,
                              const QVariantList& filterData) {
    if (iMode != acSelectionSetAll)
        throw platform::AutomationError(caderr::InvalidArgument,
                                        QStringLiteral("Invalid argument Mode in Select"));
    if (filterType.size() != filterData.size())
        throw platform::AutomationError(caderr::InvalidArgument,
                                        QStringLiteral("Invalid argument FilterType in Select"));
    m_doc->selectAll(m_name, filterType, filterData);
}

int AcadSelectionSet::Count() {
    return m_doc->selectionSetSize(m_name);
}

void AcadSelectionSet::Delete() {
    if (m_index >= 0)
        m_doc->deleteSelectionSet(m_index);
    else
        throw platform::AutomationError(caderr::InvalidArgument,
                                        QStringLiteral("Invalid argument"));
}

int AcadSelectionSets::Count() {
    return m_doc->selectionSetCount();
}

AcadSelectionSet AcadSelectionSets::Item(int iIndex) {
    AcadSelectionSet set(m_doc, QString());
    set.m_index = iIndex;
    return set;
}

AcadSelectionSet AcadSelectionSets::Add(const QString& sName) {
    m_doc->addSelectionSet(sName);
    return AcadSelectionSet(m_doc, sName);
}

} // namespace acad
