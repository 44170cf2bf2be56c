#pragma once

// What the reader keeps of a DXF entity between dxflib's callbacks and the finished
// Drawing: primitives still in block coordinates, block references not yet expanded.
// Internal to the reader.

#include "cadhost/model/Primitive.h"

#include <QHash>
#include <QPointF>
#include <QString>
#include <QVector>
#include <cmath>
#include <memory>
#include <optional>
#include <string_view>
#include <vector>

namespace cadhost::dxf::detail {

inline constexpr int kMaxBlockDepth = 16;
inline constexpr double kDegPerRad = 180.0 / M_PI;

struct RawInsert {
    QString block;
    QPointF insertion;
    double sx = 1, sy = 1, angleDeg = 0;
    int cols = 1, rows = 1;
    double colSpacing = 0, rowSpacing = 0;
    bool mirrored = false; // extrusion pointing down: the OCS mirrors x
};

// An entity as read, before block references are expanded: primitives in the
// coordinates of the block (or of the world, in model space).
struct RawEntity {
    QString type;
    QString layer;
    int color = aci::ByLayer;
    QVector<Primitive> primitives;
    // Held apart: few entities are references, and a million entities each carrying
    // room for one would cost a hundred megabytes while a drawing is read.
    std::shared_ptr<const RawInsert> insert;
    bool paperSpace = false; // group 67: not part of the model
};

// What dxflib would hand over as attributes and extrusion for an entity read past it.
struct EntityHead {
    std::string_view layer = "0"; // into the file's bytes
    int color = aci::ByLayer;
    double extrusionZ = 1.0;
    bool paperSpace = false;
};

// A line, circle, arc or lightweight polyline read without dxflib.
enum class FastKind { None, Line, Circle, Arc, LwPolyline };
struct FastEntity {
    FastKind kind = FastKind::None;
    EntityHead head;
    double real[7] = {}; // 10 20 11 21 40 50 51
    int flags = 0;
    qsizetype firstPoint = 0, pointCount = 0; // into the shared point and bulge lists
};

// Marks in what dxflib reads where a fast entity stood.
inline constexpr const char* kFastMarker = "KORVEL_FAST";

struct Block {
    QPointF base;
    std::vector<RawEntity> entities;
};

} // namespace cadhost::dxf::detail
