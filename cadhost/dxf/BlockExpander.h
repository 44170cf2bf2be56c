#pragma once

#include "cadhost/dxf/DxfRawEntity.h"

#include <QHash>
#include <QSet>
#include <QTransform>

namespace cadhost::dxf::detail {

// Expands block references into world-space primitives. Entities of a block on layer
// "0" take the layer of the reference, ByBlock colours take its colour.
class BlockExpander {
public:
    explicit BlockExpander(const QHash<QString, Block>& blocks) : m_blocks(blocks) {}

    void expand(const RawInsert& ins, const QString& layer, int color, const QTransform& outer,
                QVector<Primitive>& out, int depth);

    static Primitive mapped(const Primitive& p, const QTransform& t, const QString& layer,
                            int color);

private:
    const QHash<QString, Block>& m_blocks;
    QSet<QString> m_active;
};

} // namespace cadhost::dxf::detail
