// Named selection sets of a Drawing and the filtered select-all that fills them.
#include "cadhost/model/Drawing.h"

#include "cadhost/model/CadErrors.h"
#include "cadhost/model/DrawingArguments.h"

#include <algorithm>
#include <iterator>

namespace cadhost {

using caderr::KeyNotFound;
using detail::toText;

int Drawing::selectionSetIndex(const QString& name) const {
    const QString key = nameKey(name);
    for (int i = 0; i < int(m_selectionSets.size()); ++i)
        if (nameKey(m_selectionSets[std::size_t(i)].name) == key)
            return i;
    return -1;
}

QString Drawing::selectionSetName(int index) const {
    if (index < 0 || index >= selectionSetCount())
        throwCadError(KeyNotFound);
    return m_selectionSets[std::size_t(index)].name;
}

void Drawing::deleteSelectionSet(int index) {
    if (index < 0 || index >= selectionSetCount())
        throwCadError(KeyNotFound);
    m_selectionSets.erase(m_selectionSets.begin() + index);
}

void Drawing::addSelectionSet(const QString& name) {
    if (name.isEmpty())
        throwCadError(caderr::InvalidArgument);
    if (selectionSetIndex(name) >= 0)
        throwCadError(caderr::DuplicateKey);
    m_selectionSets.push_back({name, {}});
}

void Drawing::clearSelectionSet(const QString& name) {
    const int i = selectionSetIndex(name);
    if (i < 0)
        throwCadError(KeyNotFound);
    m_selectionSets[std::size_t(i)].members.clear();
}

void Drawing::selectAll(const QString& name, const QList<int>& codes, const QVariantList& values) {
    const int setIndex = selectionSetIndex(name);
    if (setIndex < 0)
        throwCadError(KeyNotFound);
    if (codes.size() != values.size())
        throwCadError(caderr::InvalidArgument,
                      QStringLiteral("Filter type and data lists differ in length"));

    QString layerKey, typeKey;
    bool byLayer = false, byType = false;
    for (qsizetype i = 0; i < codes.size(); ++i) {
        if (codes[i] != 8 && codes[i] != 0)
            throwCadError(caderr::InvalidArgument,
                          QStringLiteral("Unsupported filter group code %1").arg(codes[i]));
        const QString text = toText(values[i]);
        if (codes[i] == 8) {
            byLayer = true;
            layerKey = nameKey(text);
        } else {
            byType = true;
            typeKey = nameKey(text);
        }
    }

    std::vector<int> matches;
    if (byLayer) {
        for (int i : entitiesOnLayerKey(layerKey))
            if (!byType || nameKey(m_entities[std::size_t(i)].type) == typeKey)
                matches.push_back(i);
    } else {
        for (int i = 0; i < int(m_entities.size()); ++i)
            if (!byType || nameKey(m_entities[std::size_t(i)].type) == typeKey)
                matches.push_back(i);
    }
    std::vector<int>& members = m_selectionSets[std::size_t(setIndex)].members;
    std::vector<int> merged;
    merged.reserve(members.size() + matches.size());
    std::set_union(members.begin(), members.end(), matches.begin(), matches.end(),
                   std::back_inserter(merged));
    members = std::move(merged);
}

int Drawing::selectionSetSize(const QString& name) const {
    const int i = selectionSetIndex(name);
    if (i < 0)
        throwCadError(KeyNotFound);
    return int(m_selectionSets[std::size_t(i)].members.size());
}

} // namespace cadhost
