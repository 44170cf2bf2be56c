#pragma once

#include "acad/AcadBackend.h"

#include <QList>
#include <QVariantList>
#include <memory>

namespace acad {

// Select modes the CAD knows; the bus carries only "every object of the drawing".
inline constexpr int acSelectionSetAll = 5;

// A named selection set of the drawing.
class AcadSelectionSet {
public:
    AcadSelectionSet(std::shared_ptr<DocumentBackend> doc, QString name)
        : m_doc(std::move(doc)), m_name(std::move(name)) {}

    const QString& Name() const { return m_name; }
    void Clear();
    // Mode 5 (all objects) with a DXF group-code filter; the corner points of the other
    // modes are never passed by this program. Any other mode raises "invalid argument".
    void Select(int iMode, const QList<int>& filterType, const QVariantList& filterData);
    int Count();
    void Delete();

private:
    std::shared_ptr<DocumentBackend> m_doc;
    QString m_name;
    // Set when the set is reached by index: Delete then removes that index, as the CAD's
    // SelectionSets.Item(i).Delete does.
    int m_index = -1;
    friend class AcadSelectionSets;
};

class AcadSelectionSets {
public:
    explicit AcadSelectionSets(std::shared_ptr<DocumentBackend> doc) : m_doc(std::move(doc)) {}

    int Count();
    // The bus has no per-index name; a set reached by index serves for Delete only.
    AcadSelectionSet Item(int iIndex);
    AcadSelectionSet Add(const QString& sName);

private:
    std::shared_ptr<DocumentBackend> m_doc;
};

} // namespace acad
