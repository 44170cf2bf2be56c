#pragma once

#include "cadhost/dxf/DxfRawEntity.h"

#include <QHash>
#include <QSet>
#include <QTransform>

namespace cadhost::dxf::detail {

// What expanding a drawing's block references may make at most; see DxfReadLimits.
struct ExpansionBudget {
    qint64 primitives = 0;
    qint64 points = 0;
};

// Thrown by BlockExpander::count when a drawing would grow past its budget.
struct ExpansionTooLarge {};

// Expands block references into world-space primitives. Entities of a block on layer
// "0" take the layer of the reference, ByBlock colours take its colour.
class BlockExpander {
public:
    explicit BlockExpander(const QHash<QString, Block>& blocks) : m_blocks(blocks) {}

    void expand(const RawInsert& ins, const QString& layer, int color, const QTransform& outer,
                QVector<Primitive>& out, int depth);

    // Walks a reference as expand() would, without making anything, and takes what it
    // would make from the budget; throws ExpansionTooLarge as soon as the budget is spent.
    // Every placed copy of a block, and every entity in it, costs at least a primitive,
    // so that arrays of empty blocks cannot keep the walk going for ever either. The walk costs at
    // most about as many steps as the budget holds.
    void count(const RawInsert& ins, ExpansionBudget& left, int depth);
    // How many placed references count() found nested deeper than kMaxBlockDepth: they
    // are left out of the drawing, and its user is told.
    qint64 tooDeep() const { return m_tooDeep; }

    static Primitive mapped(const Primitive& p, const QTransform& t, const QString& layer,
                            int color);

private:
    const QHash<QString, Block>& m_blocks;
    QSet<QString> m_active;
    QHash<const RawInsert*, const Block*> m_resolved;
    QSet<const Block*> m_counting;
    qint64 m_tooDeep = 0;
};

} // namespace cadhost::dxf::detail
