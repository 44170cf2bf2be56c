#pragma once

#include "cadhost/model/Primitive.h"

#include <QRectF>
#include <QString>
#include <QVector>

namespace cadhost {

// One drawing object as the CAD counts it: a block reference or a hatch is one entity
// however many primitives it expands to. The DXF type and layer are what selection
// filters look at; primitives are what gets drawn.
struct Entity {
    QString type;  // DXF type name, upper case: "LINE", "INSERT", ...
    QString layer; // the layer the entity itself lies on
    int color = aci::ByLayer;
    QVector<Primitive> primitives;

    // Extra data a writer needs to write the entity back as what it was; entities read
    // from a file keep their geometry in primitives, which is what our writer saves.
    QString blockName; // INSERT / DIMENSION: the block referenced (informational)

    // Union of the primitives' bounds; null for an entity without geometry.
    QRectF extents() const;
};

} // namespace cadhost
