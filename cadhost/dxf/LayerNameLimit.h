#pragma once

#include "cadhost/dxf/DxfText.h"

#include <QHash>
#include <QSet>
#include <QString>
#include <QStringList>
#include <string_view>

namespace cadhost::dxf::detail {

// A layer name in a DXF file may run to any length; a CAD keeps at most
// Drawing::kMaxLayerNameLength characters, as DXF producers do, and a longer one made
// every call that names the layer slow (a megabyte-long name took a refresh eight
// seconds). A drawing read from a file holds its longer names cut to the limit, and no
// two layers become one by it: a cut name that another layer already has ends in "~2",
// "~3", ... instead. Only the first kNameBytes bytes of a name are ever looked at, as
// dxflib sees no more of a line either; names alike in those are one layer.
//
// Reading notes every name (the layer table's, those objects name), then settles the
// cut names once; the drawing and what it keeps of its file use them alike.
class LayerNameLimit {
public:
    static constexpr std::size_t kNameBytes = 1022; // dxflib's line buffer, less its line end

    static std::string_view nameBytes(std::string_view value) {
        return value.substr(0, std::min(value.size(), kNameBytes));
    }
    // A name as the file holds it, decoded, before any cut.
    static QString decode(const DxfText& text, std::string_view value) {
        return text.decode(std::string(nameBytes(value)));
    }

    void note(const QString& name);
    // Decides the cut names; call once, after the last note.
    void settle();
    bool any() const { return !m_cut.isEmpty(); }
    // The name the drawing holds for a name as read: the name itself when within the
    // limit.
    QString operator()(const QString& name) const;
    // One line per cut name, for the open's warnings.
    QStringList warnings() const;

private:
    QSet<QString> m_within;        // keys of names within the limit
    QStringList m_order;           // keys of the long names, as met
    QHash<QString, QString> m_cut; // key of a long name -> its spelling, then its cut name
};

} // namespace cadhost::dxf::detail
