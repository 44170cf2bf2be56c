#pragma once

#include "acad/AcadBackend.h"

#include <QStringList>
#include <memory>

namespace acad {

class AcadLinetype {
public:
    explicit AcadLinetype(QString name) : m_name(std::move(name)) {}
    QString Name() const { return m_name; }

private:
    QString m_name;
};

// The drawing's linetypes. The bus hands over all names in one call, in collection
// order, so the collection is read once when it is taken and enumerated from memory.
class AcadLinetypes {
public:
    explicit AcadLinetypes(std::shared_ptr<DocumentBackend> doc);

    int Count() const { return static_cast<int>(m_names.size()); }
    AcadLinetype Item(int iIndex) const;
    const QStringList& names() const { return m_names; }

    auto begin() const { return m_names.begin(); }
    auto end() const { return m_names.end(); }

private:
    QStringList m_names;
};

} // namespace acad
