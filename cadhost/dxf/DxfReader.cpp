#include "cadhost/dxf/DxfReader.h"

#include "cadhost/dxf/DxfPrescan.h"
#include "cadhost/dxf/DxfText.h"
#include "cadhost/dxf/Tessellate.h"
#include "cadhost/model/CadErrors.h"
#include "cadhost/model/Drawing.h"

#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QSet>
#include <QTransform>
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <dxflib/dl_creationadapter.h>
#include <dxflib/dl_dxf.h>
#include <optional>

namespace cadhost::dxf {

namespace {

constexpr int kMaxBlockDepth = 16;
const double kDegPerRad = 180.0 / M_PI;

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
    std::optional<RawInsert> insert;
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
constexpr const char* kFastMarker = "KORVEL_FAST";

struct Block {
    QPointF base;
    std::vector<RawEntity> entities;
};

QString percentCodes(QString text) {
    // TEXT carries special characters as %% codes; underline/overline toggles drop out.
    if (!text.contains(QLatin1String("%%")))
        return text;
    text.replace(QLatin1String("%%d"), QStringLiteral("\u00B0"), Qt::CaseInsensitive);
    text.replace(QLatin1String("%%p"), QStringLiteral("\u00B1"), Qt::CaseInsensitive);
    text.replace(QLatin1String("%%c"), QStringLiteral("\u2300"), Qt::CaseInsensitive);
    text.replace(QLatin1String("%%u"), QString(), Qt::CaseInsensitive);
    text.replace(QLatin1String("%%o"), QString(), Qt::CaseInsensitive);
    text.replace(QLatin1String("%%%"), QStringLiteral("%"));
    return text;
}

class Builder : public DL_CreationAdapter {
public:
    explicit Builder(DL_Dxf& dxf) : m_dxf(dxf) {}

    std::vector<Layer> layers;
    QStringList linetypes;
    QHash<QString, Block> blocks; // by case-folded name
    std::vector<RawEntity> model;

    void finish() {
        replayDue();
        flush();
    }

    // The header names the encoding; names decoded before it are decoded again.
    void setText(const DxfText& text) {
        m_text = text;
        m_names.clear();
    }

    // Entities read without dxflib, in file order, each replayed where dxflib meets
    // its marker so that order and block membership stay as in the file.
    std::vector<FastEntity> fast;
    QVector<QPointF> fastPoints;
    QVector<double> fastBulges;

    void processCodeValuePair(unsigned int code, const std::string& value) override {
        // dxflib ends the object before a marker only after this call, so a marker's
        // entity is built at the next pair (always a code 0) or at the end.
        replayDue();
        if (code == 0 && value == kFastMarker)
            ++m_fastDue;
        if (code == 0 && value == "SEQEND")
            m_seqEndSeen = true;
    }
    void replayDue() {
        for (; m_fastDue > 0; --m_fastDue)
            replay(fast[m_fastNext++]);
    }

    // The layer being drawn on, as the header names it; decoded once the header's
    // encoding is known.
    std::string currentLayer;
    QString currentLayerName() const { return m_text.decode(currentLayer); }
    void setVariableString(const std::string& key, const std::string& value, int) override {
        if (key == "$CLAYER")
            currentLayer = value;
    }

    // --- tables ------------------------------------------------------------------
    void addLayer(const DL_LayerData& d) override {
        flush();
        Layer l;
        l.name = m_text.decode(d.name);
        if (!Drawing::isValidLayerName(l.name))
            return; // a nameless or unusable record cannot be addressed; the CAD drops it
        const int color = attributes.getColor();
        l.layerOn = !(d.off || color < 0);
        const int aciColor = std::abs(color);
        l.color = (aciColor >= 1 && aciColor <= 255) ? aciColor : 7;
        l.freeze = (d.flags & 1) != 0;
        l.viewportDefault = (d.flags & 2) != 0;
        l.lock = (d.flags & 4) != 0;
        const QString lt = m_text.decode(attributes.getLinetype());
        l.linetype = lt.isEmpty() || lt.compare(QLatin1String("BYLAYER"), Qt::CaseInsensitive) == 0
                         ? QStringLiteral("Continuous")
                         : lt;
        const int weight = m_dxf.getIntValue(370, -3);
        l.lineweight = Layer::isValidLineweight(weight) ? weight : -3;
        l.plottable = m_dxf.getIntValue(290, 1) != 0;
        layers.push_back(l);
    }

    void addLinetype(const DL_LinetypeData& d) override {
        flush();
        const QString name = m_text.decode(d.name);
        if (!name.isEmpty())
            linetypes << name;
    }

    // --- blocks ------------------------------------------------------------------
    void addBlock(const DL_BlockData& d) override {
        flush();
        const QString name = m_text.decode(d.name);
        Block& b = blocks[Drawing::nameKey(name)];
        b = Block{};
        b.base = QPointF(d.bpx, d.bpy);
        m_block = &b;
    }
    void endBlock() override {
        flush();
        m_block = nullptr;
    }
    // dxflib reports the end of every object here, not only of sections.
    void endSection() override {
        if (!awaitingVertices())
            flush();
    }

    // --- simple entities -----------------------------------------------------------
    void addPoint(const DL_PointData& d) override {
        flush();
        RawEntity e = start("POINT");
        e.primitives.append(Primitive::polyline(e.layer, e.color, {QPointF(d.x, d.y)}));
        emitEntity(std::move(e));
    }
    void addLine(const DL_LineData& d) override {
        flush();
        RawEntity e = start("LINE");
        e.primitives.append(
            Primitive::polyline(e.layer, e.color, {QPointF(d.x1, d.y1), QPointF(d.x2, d.y2)}));
        emitEntity(std::move(e));
    }
    void addCircle(const DL_CircleData& d) override {
        flush();
        RawEntity e = start("CIRCLE");
        e.primitives.append(Primitive::polyline(
            e.layer, e.color, ocs(tessellate::circle(QPointF(d.cx, d.cy), d.radius)), true));
        emitEntity(std::move(e));
    }
    void addArc(const DL_ArcData& d) override {
        flush();
        RawEntity e = start("ARC");
        e.primitives.append(Primitive::polyline(
            e.layer, e.color,
            ocs(tessellate::arc(QPointF(d.cx, d.cy), d.radius, d.angle1 / kDegPerRad,
                                d.angle2 / kDegPerRad))));
        emitEntity(std::move(e));
    }
    void addEllipse(const DL_EllipseData& d) override {
        flush();
        RawEntity e = start("ELLIPSE");
        e.primitives.append(
            Primitive::polyline(e.layer, e.color,
                                tessellate::ellipse(QPointF(d.cx, d.cy), QPointF(d.mx, d.my),
                                                    d.ratio, d.angle1, d.angle2)));
        emitEntity(std::move(e));
    }
    void addSolid(const DL_SolidData& d) override {
        flush();
        RawEntity e = start("SOLID");
        // A solid's third and fourth corners are stored crosswise.
        QVector<QPointF> pts = {QPointF(d.x[0], d.y[0]), QPointF(d.x[1], d.y[1]),
                                QPointF(d.x[3], d.y[3]), QPointF(d.x[2], d.y[2])};
        if (pts[2] == pts[3])
            pts.removeLast();
        e.primitives.append(Primitive::filledPolygon(e.layer, e.color, ocs(pts)));
        emitEntity(std::move(e));
    }
    void addTrace(const DL_TraceData& d) override {
        flush();
        RawEntity e = start("TRACE");
        e.primitives.append(
            Primitive::filledPolygon(e.layer, e.color,
                                     ocs({QPointF(d.x[0], d.y[0]), QPointF(d.x[1], d.y[1]),
                                          QPointF(d.x[3], d.y[3]), QPointF(d.x[2], d.y[2])})));
        emitEntity(std::move(e));
    }
    void add3dFace(const DL_3dFaceData& d) override {
        flush();
        RawEntity e = start("3DFACE");
        QVector<QPointF> pts = {QPointF(d.x[0], d.y[0]), QPointF(d.x[1], d.y[1]),
                                QPointF(d.x[2], d.y[2]), QPointF(d.x[3], d.y[3])};
        if (pts[3] == pts[2])
            pts.removeLast();
        e.primitives.append(Primitive::polyline(e.layer, e.color, pts, true));
        emitEntity(std::move(e));
    }

    // --- texts -------------------------------------------------------------------
    void addText(const DL_TextData& d) override {
        flush();
        RawEntity e = start("TEXT");
        int halign = 0;
        QPointF pos(d.ipx, d.ipy);
        if ((d.hJustification != 0 || d.vJustification != 0) && d.hJustification != 3 &&
            d.hJustification != 5)
            pos = QPointF(d.apx, d.apy);
        if (d.hJustification == 1 || d.hJustification == 4)
            halign = 1;
        else if (d.hJustification == 2)
            halign = 2;
        double rotation = d.angle * kDegPerRad;
        if (m_mirrored) {
            pos.setX(-pos.x());
            rotation = 180.0 - rotation;
        }
        e.primitives.append(Primitive::textAt(e.layer, e.color, pos, d.height, rotation,
                                              percentCodes(m_text.decode(d.text)), halign));
        emitEntity(std::move(e));
    }
    void addMTextChunk(const std::string& chunk) override { m_mtextChunks += chunk; }
    void addMText(const DL_MTextData& d) override {
        flush();
        RawEntity e = start("MTEXT");
        const QString whole = DxfText::plainMText(m_text.decode(m_mtextChunks + d.text));
        m_mtextChunks.clear();
        const QStringList lines = whole.split(QLatin1Char('\n'));
        const int attach =
            (d.attachmentPoint >= 1 && d.attachmentPoint <= 9) ? d.attachmentPoint : 1;
        const int halign = (attach - 1) % 3;
        const int row = (attach - 1) / 3; // 0 top, 1 middle, 2 bottom
        double rotation = d.angle;        // dxflib hands this one over in degrees
        if (std::hypot(d.dirx, d.diry) > 1e-12)
            rotation = std::atan2(d.diry, d.dirx) * kDegPerRad;
        const double lineStep =
            d.height * 5.0 / 3.0 * (d.lineSpacingFactor > 0 ? d.lineSpacingFactor : 1.0);
        const double block = lineStep * (lines.size() - 1) + d.height;
        double firstBaseline = -d.height; // top attached: the first line hangs below
        if (row == 1)
            firstBaseline = block / 2 - d.height;
        else if (row == 2)
            firstBaseline = block - d.height;
        QTransform t;
        t.translate(d.ipx, d.ipy);
        t.rotate(rotation);
        for (qsizetype i = 0; i < lines.size(); ++i) {
            if (lines[i].trimmed().isEmpty())
                continue;
            const QPointF local(0, firstBaseline - lineStep * double(i));
            e.primitives.append(Primitive::textAt(e.layer, e.color, t.map(local), d.height,
                                                  rotation, lines[i], halign));
        }
        emitEntity(std::move(e));
    }

    // --- polylines ---------------------------------------------------------------
    void addPolyline(const DL_PolylineData& d) override {
        flush();
        m_pending = Pending::Polyline;
        // dxflib reports both kinds alike; only the lightweight one carries a vertex count.
        m_oldStylePolyline = m_dxf.getIntValue(90, -1) < 0;
        m_seqEndSeen = false;
        m_pendingEntity = start(m_oldStylePolyline ? "POLYLINE" : "LWPOLYLINE");
        m_closed = (d.flags & 1) != 0;
        m_points.clear();
        m_bulges.clear();
        m_pendingMirrored = m_mirrored;
    }
    void addVertex(const DL_VertexData& d) override {
        if (m_pending != Pending::Polyline)
            return;
        m_points.append(QPointF(d.x, d.y));
        m_bulges.append(d.bulge);
    }
    void endSequence() override {
        if (!awaitingVertices())
            flush();
    }
    // An old-style polyline still has its VERTEX records to come, up to its SEQEND,
    // when dxflib already reports the end of the polyline object itself.
    bool awaitingVertices() const {
        return m_pending == Pending::Polyline && m_oldStylePolyline && !m_seqEndSeen;
    }

    void addSpline(const DL_SplineData& d) override {
        flush();
        m_pending = Pending::Spline;
        m_pendingEntity = start("SPLINE");
        m_degree = int(d.degree);
        m_closed = (d.flags & 1) != 0;
        m_control.clear();
        m_weights.clear();
        m_knots.clear();
        m_fit.clear();
    }
    void addControlPoint(const DL_ControlPointData& d) override {
        if (m_pending != Pending::Spline)
            return;
        m_control.emplace_back(d.x, d.y);
        m_weights.push_back(d.w);
    }
    void addFitPoint(const DL_FitPointData& d) override {
        if (m_pending == Pending::Spline)
            m_fit.emplace_back(d.x, d.y);
    }
    void addKnot(const DL_KnotData& d) override {
        if (m_pending == Pending::Spline)
            m_knots.push_back(d.k);
    }

    // --- hatch -------------------------------------------------------------------
    void addHatch(const DL_HatchData& d) override {
        flush();
        m_pending = Pending::Hatch;
        m_pendingEntity = start("HATCH");
        m_solid = d.solid;
        m_loops.clear();
        m_pendingMirrored = m_mirrored;
    }
    void addHatchLoop(const DL_HatchLoopData&) override {
        if (m_pending == Pending::Hatch)
            m_loops.append(QVector<QPointF>());
    }
    void addHatchEdge(const DL_HatchEdgeData& e) override {
        if (m_pending != Pending::Hatch)
            return;
        if (m_loops.isEmpty())
            m_loops.append(QVector<QPointF>());
        QVector<QPointF>& loop = m_loops.last();
        switch (e.type) {
        case 0: { // polyline boundary: x, y, bulge per vertex
            QVector<QPointF> pts;
            for (std::size_t i = 0; i < e.vertices.size(); ++i) {
                const auto& v = e.vertices[i];
                if (v.size() < 2)
                    continue;
                const QPointF p(v[0], v[1]);
                if (pts.isEmpty()) {
                    pts.append(p);
                    continue;
                }
                const auto& prev = e.vertices[i - 1];
                tessellate::appendBulge(pts, pts.last(), p, prev.size() > 2 ? prev[2] : 0.0);
            }
            loop += pts;
            break;
        }
        case 1:
            appendJoined(loop, {QPointF(e.x1, e.y1), QPointF(e.x2, e.y2)});
            break;
        case 2: {
            QVector<QPointF> pts =
                e.ccw ? tessellate::arc(QPointF(e.cx, e.cy), e.radius, e.angle1, e.angle2)
                      : tessellate::arc(QPointF(e.cx, e.cy), e.radius, 2 * M_PI - e.angle1,
                                        2 * M_PI - e.angle2);
            if (!e.ccw)
                for (QPointF& p : pts)
                    p.setY(2 * e.cy - p.y());
            appendJoined(loop, pts);
            break;
        }
        case 3: {
            QVector<QPointF> pts = tessellate::ellipse(QPointF(e.cx, e.cy), QPointF(e.mx, e.my),
                                                       e.ratio, e.angle1, e.angle2);
            appendJoined(loop, pts);
            break;
        }
        case 4: {
            std::vector<QPointF> control;
            for (const auto& c : e.controlPoints)
                if (c.size() >= 2)
                    control.emplace_back(c[0], c[1]);
            appendJoined(loop, tessellate::spline(int(e.degree), control, e.weights, e.knots));
            break;
        }
        default:
            break;
        }
    }

    // --- block references --------------------------------------------------------
    void addInsert(const DL_InsertData& d) override {
        flush();
        RawEntity e = start("INSERT");
        RawInsert ins;
        ins.block = m_text.decode(d.name);
        ins.insertion = QPointF(d.ipx, d.ipy);
        ins.sx = d.sx == 0 ? 1 : d.sx;
        ins.sy = d.sy == 0 ? 1 : d.sy;
        ins.angleDeg = d.angle;
        ins.cols = std::clamp(d.cols, 1, 1000);
        ins.rows = std::clamp(d.rows, 1, 1000);
        ins.colSpacing = d.colSp;
        ins.rowSpacing = d.rowSp;
        ins.mirrored = m_mirrored;
        e.insert = ins;
        emitEntity(std::move(e));
    }
    void addDimension(const DL_DimensionData&) {
        flush();
        RawEntity e = start("DIMENSION");
        RawInsert ins;
        // The dimension's picture is its anonymous block, drawn in world coordinates.
        ins.block = m_text.decode(m_dxf.getStringValue(2, ""));
        e.insert = ins;
        emitEntity(std::move(e));
    }
    void addDimAlign(const DL_DimensionData& d, const DL_DimAlignedData&) override {
        addDimension(d);
    }
    void addDimLinear(const DL_DimensionData& d, const DL_DimLinearData&) override {
        addDimension(d);
    }
    void addDimRadial(const DL_DimensionData& d, const DL_DimRadialData&) override {
        addDimension(d);
    }
    void addDimDiametric(const DL_DimensionData& d, const DL_DimDiametricData&) override {
        addDimension(d);
    }
    void addDimAngular(const DL_DimensionData& d, const DL_DimAngular2LData&) override {
        addDimension(d);
    }
    void addDimAngular3P(const DL_DimensionData& d, const DL_DimAngular3PData&) override {
        addDimension(d);
    }
    void addDimOrdinate(const DL_DimensionData& d, const DL_DimOrdinateData&) override {
        addDimension(d);
    }

private:
    enum class Pending { None, Polyline, Spline, Hatch };

    // Interns names so that the primitives of 200,000 entities share a few strings.
    QString intern(std::string_view bytes) {
        const QByteArray key = QByteArray::fromRawData(bytes.data(), qsizetype(bytes.size()));
        const auto it = m_names.constFind(key);
        if (it != m_names.constEnd())
            return *it;
        QString decoded = m_text.decode(std::string(bytes));
        m_names.insert(QByteArray(bytes.data(), qsizetype(bytes.size())), decoded);
        return decoded;
    }

    void replay(const FastEntity& f) {
        m_head = &f.head;
        switch (f.kind) {
        case FastKind::Line:
            addLine(DL_LineData(f.real[0], f.real[1], 0, f.real[2], f.real[3], 0));
            break;
        case FastKind::Circle:
            addCircle(DL_CircleData(f.real[0], f.real[1], 0, f.real[4]));
            break;
        case FastKind::Arc:
            addArc(DL_ArcData(f.real[0], f.real[1], 0, f.real[4], f.real[5], f.real[6]));
            break;
        case FastKind::LwPolyline:
            flush();
            m_pending = Pending::Polyline;
            m_pendingEntity = start("LWPOLYLINE");
            m_closed = (f.flags & 1) != 0;
            m_points = fastPoints.mid(f.firstPoint, f.pointCount);
            m_bulges = fastBulges.mid(f.firstPoint, f.pointCount);
            m_pendingMirrored = m_mirrored;
            flush();
            break;
        case FastKind::None:
            break;
        }
        m_head = nullptr;
    }

    // One shared string per type name rather than one allocation per entity.
    QString typeName(const char* type) {
        for (const auto& [key, name] : m_types)
            if (key == type || std::strcmp(key, type) == 0)
                return name;
        m_types.emplace_back(type, QString::fromLatin1(type));
        return m_types.back().second;
    }

    RawEntity start(const char* type) {
        RawEntity e;
        e.type = typeName(type);
        int c = aci::ByLayer;
        if (m_head) {
            e.layer = intern(m_head->layer);
            c = m_head->color;
            m_mirrored = m_head->extrusionZ < 0;
            e.paperSpace = m_head->paperSpace;
        } else {
            e.layer = intern(attributes.getLayer());
            c = attributes.getColor();
            const double* dir = getExtrusion() ? getExtrusion()->getDirection() : nullptr;
            m_mirrored = dir && dir[2] < 0;
            // Taken now: a pending polyline is emitted when dxflib already holds the
            // values of what follows it.
            e.paperSpace = m_dxf.getIntValue(67, 0) == 1;
        }
        if (e.layer.isEmpty())
            e.layer = QStringLiteral("0");
        e.color = (c >= 0 && c <= 256) ? c : aci::ByLayer;
        return e;
    }

    QVector<QPointF> ocs(QVector<QPointF> pts) const {
        if (m_mirrored)
            for (QPointF& p : pts)
                p.setX(-p.x());
        return pts;
    }

    static void appendJoined(QVector<QPointF>& loop, const QVector<QPointF>& pts) {
        for (const QPointF& p : pts)
            if (loop.isEmpty() || loop.last() != p)
                loop.append(p);
    }

    void emitEntity(RawEntity e) {
        // Paper-space entities are not part of the model the automation interface sees.
        if (!m_block && e.paperSpace)
            return;
        if (m_block)
            m_block->entities.push_back(std::move(e));
        else
            model.push_back(std::move(e));
    }

    void flush() {
        const Pending pending = m_pending;
        m_pending = Pending::None;
        switch (pending) {
        case Pending::None:
            return;
        case Pending::Polyline: {
            QVector<QPointF> pts;
            const qsizetype n = m_points.size();
            for (qsizetype i = 0; i < n; ++i) {
                if (i == 0)
                    pts.append(m_points[0]);
                else
                    tessellate::appendBulge(pts, m_points[i - 1], m_points[i], m_bulges[i - 1]);
            }
            if (m_closed && n > 1 && std::fabs(m_bulges[n - 1]) > 1e-9)
                tessellate::appendBulge(pts, m_points[n - 1], m_points[0], m_bulges[n - 1]);
            if (m_pendingMirrored)
                for (QPointF& p : pts)
                    p.setX(-p.x());
            if (!pts.isEmpty())
                m_pendingEntity.primitives.append(Primitive::polyline(
                    m_pendingEntity.layer, m_pendingEntity.color, pts, m_closed));
            break;
        }
        case Pending::Spline: {
            QVector<QPointF> pts;
            if (!m_control.empty())
                pts = tessellate::spline(m_degree, m_control, m_weights, m_knots);
            else
                pts = QVector<QPointF>(m_fit.begin(), m_fit.end());
            if (!pts.isEmpty())
                m_pendingEntity.primitives.append(Primitive::polyline(
                    m_pendingEntity.layer, m_pendingEntity.color, pts, m_closed));
            break;
        }
        case Pending::Hatch:
            for (QVector<QPointF> loop : m_loops) {
                if (loop.size() < 2)
                    continue;
                if (m_pendingMirrored)
                    for (QPointF& p : loop)
                        p.setX(-p.x());
                m_pendingEntity.primitives.append(
                    m_solid ? Primitive::filledPolygon(m_pendingEntity.layer, m_pendingEntity.color,
                                                       loop)
                            : Primitive::polyline(m_pendingEntity.layer, m_pendingEntity.color,
                                                  loop, true));
            }
            break;
        }
        emitEntity(std::move(m_pendingEntity));
        m_pendingEntity = RawEntity{};
    }

    DL_Dxf& m_dxf;
    DxfText m_text;
    QHash<QByteArray, QString> m_names;
    int m_fastDue = 0;
    std::size_t m_fastNext = 0;
    std::vector<std::pair<const char*, QString>> m_types;
    const EntityHead* m_head = nullptr;
    Block* m_block = nullptr;
    bool m_mirrored = false;
    std::string m_mtextChunks;

    Pending m_pending = Pending::None;
    RawEntity m_pendingEntity;
    bool m_pendingMirrored = false;
    bool m_closed = false;
    bool m_oldStylePolyline = false; // POLYLINE with VERTEX records, ended by SEQEND
    bool m_seqEndSeen = false;
    QVector<QPointF> m_points;
    QVector<double> m_bulges;
    int m_degree = 3;
    std::vector<QPointF> m_control;
    std::vector<double> m_weights;
    std::vector<double> m_knots;
    std::vector<QPointF> m_fit;
    bool m_solid = false;
    QVector<QVector<QPointF>> m_loops;
};

// Expands block references into world-space primitives. Entities of a block on layer
// "0" take the layer of the reference, ByBlock colours take its colour.
class Expander {
public:
    explicit Expander(const QHash<QString, Block>& blocks) : m_blocks(blocks) {}

    void expand(const RawInsert& ins, const QString& layer, int color, const QTransform& outer,
                QVector<Primitive>& out, int depth) {
        const auto it = m_blocks.constFind(Drawing::nameKey(ins.block));
        if (it == m_blocks.constEnd() || depth > kMaxBlockDepth)
            return;
        const QString key = it.key();
        if (m_active.contains(key))
            return; // a block that contains itself would never end
        m_active.insert(key);
        const Block& block = *it;
        for (int r = 0; r < ins.rows; ++r) {
            for (int c = 0; c < ins.cols; ++c) {
                QTransform local;
                local.translate(-block.base.x(), -block.base.y());
                QTransform t = local;
                t *= QTransform::fromScale(ins.sx, ins.sy);
                t *= QTransform::fromTranslate(c * ins.colSpacing, r * ins.rowSpacing);
                QTransform rot;
                rot.rotate(ins.angleDeg);
                t *= rot;
                t *= QTransform::fromTranslate(ins.insertion.x(), ins.insertion.y());
                if (ins.mirrored)
                    t *= QTransform::fromScale(-1, 1);
                t *= outer;
                for (const RawEntity& e : block.entities) {
                    const QString eLayer = e.layer == QLatin1String("0") ? layer : e.layer;
                    const int eColor = e.color == aci::ByBlock ? color : e.color;
                    if (e.insert) {
                        expand(*e.insert, eLayer, eColor, t, out, depth + 1);
                        continue;
                    }
                    for (const Primitive& p : e.primitives)
                        out.append(mapped(p, t, layer, color));
                }
            }
        }
        m_active.remove(key);
    }

    static Primitive mapped(const Primitive& p, const QTransform& t, const QString& layer,
                            int color) {
        Primitive q = p;
        if (q.layer == QLatin1String("0"))
            q.layer = layer;
        if (q.color == aci::ByBlock)
            q.color = color;
        if (q.kind == Primitive::Kind::Text) {
            q.position = t.map(p.position);
            const QPointF origin = t.map(QPointF(0, 0));
            const QPointF xAxis = t.map(QPointF(1, 0)) - origin;
            const QPointF yAxis = t.map(QPointF(0, 1)) - origin;
            q.rotation = p.rotation + std::atan2(xAxis.y(), xAxis.x()) * kDegPerRad;
            q.height = p.height * std::hypot(yAxis.x(), yAxis.y());
        } else {
            for (QPointF& pt : q.points)
                pt = t.map(pt);
        }
        return q;
    }

private:
    const QHash<QString, Block>& m_blocks;
    QSet<QString> m_active;
};

// Splits the checked pairs: lines, circles, arcs and lightweight polylines make up
// most of a drawing and dxflib spends most of its time on them (a string stream for
// every number, a map insert for every pair), so their groups are read here the way
// dxflib reads them and queued for the builder; everything else is copied for dxflib,
// with a marker where a queued entity stood.
class Feeder : public DxfPairSink {
public:
    Feeder(Builder& builder, qsizetype sizeHint) : m_builder(builder) {
        m_forDxflib.reserve(sizeHint / 8 + 4096);
    }

    QByteArray& forDxflib() { return m_forDxflib; }

    void pair(int code, std::string_view value, double number) override {
        if (code == 0 || code == 9) { // dxflib ends an object at either
            finishFast();
            const FastKind kind = code == 0 ? fastKind(value) : FastKind::None;
            if (kind != FastKind::None) {
                beginFast(kind);
                append(0, kFastMarker);
                return;
            }
        } else if (m_fast.kind != FastKind::None) {
            collect(code, value, number);
            return;
        }
        append(code, value);
    }

    void headerText(const DxfPrescan& scan) override {
        m_builder.setText(DxfText(scan.acadVersion, scan.codePage));
    }

    void finish() { finishFast(); }

private:
    static FastKind fastKind(std::string_view type) {
        if (type == "LINE")
            return FastKind::Line;
        if (type == "CIRCLE")
            return FastKind::Circle;
        if (type == "ARC")
            return FastKind::Arc;
        if (type == "LWPOLYLINE")
            return FastKind::LwPolyline;
        return FastKind::None;
    }

    void append(int code, std::string_view value) {
        m_forDxflib += QByteArray::number(code);
        m_forDxflib += '\n';
        // dxflib reads lines into a buffer of DL_DXF_MAXLINE bytes and never sees more.
        m_forDxflib.append(value.data(),
                           qsizetype(std::min<std::size_t>(value.size(), DL_DXF_MAXLINE - 2)));
        m_forDxflib += '\n';
    }

    // dxflib's strtol: the leading integer of the value. The value lies in the file's
    // bytes, which end in a line end or the terminating zero, so strtol stops there.
    static int leadingInt(std::string_view value) {
        return int(std::strtol(value.data(), nullptr, 10));
    }

    void beginFast(FastKind kind) {
        m_fast = FastEntity{};
        m_fast.kind = kind;
        m_fast.firstPoint = m_builder.fastPoints.size();
        m_count = -1;
    }

    void collect(int code, std::string_view value, double number) {
        switch (code) {
        case 8:
            m_fast.head.layer = value;
            return;
        case 62:
            m_fast.head.color = leadingInt(value);
            return;
        case 67:
            m_fast.head.paperSpace = leadingInt(value) == 1;
            return;
        case 230:
            m_fast.head.extrusionZ = number;
            return;
        case 70:
            m_fast.flags = leadingInt(value);
            return;
        default:
            break;
        }
        if (m_fast.kind == FastKind::LwPolyline) {
            collectVertex(code, value, number);
            return;
        }
        const int slot = code == 10   ? 0
                         : code == 20 ? 1
                         : code == 11 ? 2
                         : code == 21 ? 3
                         : code == 40 ? 4
                         : code == 50 ? 5
                         : code == 51 ? 6
                                      : -1;
        if (slot >= 0)
            m_fast.real[slot] = number;
    }

    // As dxflib fills its vertex array: code 90 sizes it, each 10 moves to the next
    // vertex until it is full (more points overwrite the last), 42 is that vertex's
    // bulge. Without a count every point is taken.
    void collectVertex(int code, std::string_view value, double number) {
        QVector<QPointF>& points = m_builder.fastPoints;
        QVector<double>& bulges = m_builder.fastBulges;
        if (code == 90) {
            m_count = std::max(0, leadingInt(value));
            points.resize(m_fast.firstPoint);
            bulges.resize(m_fast.firstPoint);
            m_fast.pointCount = 0;
            return;
        }
        if (code != 10 && code != 20 && code != 42)
            return;
        if (code == 10 && (m_count < 0 || m_fast.pointCount < m_count)) {
            ++m_fast.pointCount;
            points.append(QPointF());
            bulges.append(0.0);
        }
        if (m_fast.pointCount == 0)
            return;
        if (code == 10)
            points.last().setX(number);
        else if (code == 20)
            points.last().setY(number);
        else
            bulges.last() = number;
    }

    void finishFast() {
        if (m_fast.kind == FastKind::None)
            return;
        m_builder.fast.push_back(m_fast);
        m_fast.kind = FastKind::None;
    }

    Builder& m_builder;
    QByteArray m_forDxflib;
    FastEntity m_fast;
    int m_count = -1;
};

// The drawing opens on the layer its header names, as the CAD that saved it left it.
// A name the table lacks, or a frozen layer, cannot be current: layer "0" stays.
void makeHeaderLayerCurrent(Drawing& drawing, const QString& name) {
    const Layer* layer = name.isEmpty() ? nullptr : drawing.findLayer(name);
    if (layer && !layer->freeze)
        drawing.setActiveLayer(layer->name);
}

[[noreturn]] void fail(const QString& displayName, const QString& what) {
    throwCadError(hosterr::Failed, QStringLiteral("cannot open %1: %2").arg(displayName, what));
}

} // namespace

std::unique_ptr<Drawing> DxfReader::readFile(const QString& path) {
    const QFileInfo info(path);
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        fail(info.fileName(), file.errorString());
    return readBytes(file.readAll(), info.fileName());
}

std::unique_ptr<Drawing> DxfReader::readBytes(const QByteArray& bytes, const QString& displayName) {
    // One pass: every pair is checked and then read, so the file is split into lines
    // and its numbers parsed once. A damaged file may leave a half-built drawing here,
    // which is thrown away; the open drawing is never touched.
    DL_Dxf dxf;
    Builder builder(dxf);
    builder.setText(DxfText(QString(), QString()));
    QByteArray forDxflib;
    {
        Feeder feeder(builder, bytes.size());
        const DxfPrescan scan = DxfPrescan::check(bytes, &feeder);
        if (!scan.ok)
            fail(displayName, QStringLiteral("line %1: %2").arg(scan.errorLine).arg(scan.error));
        feeder.finish();
        forDxflib = std::move(feeder.forDxflib());
    }
    {
        // dxflib's FILE reader is several times faster than its stream reader; what it
        // reads is already in memory and checked, so it is read from there.
        FILE* fp = fmemopen(forDxflib.data(), std::size_t(forDxflib.size()), "r");
        if (!fp)
            fail(displayName, QStringLiteral("out of memory"));
        try {
            while (dxf.readDxfGroups(fp, &builder)) {
            }
        } catch (const std::exception& e) {
            fclose(fp);
            fail(displayName, QString::fromLocal8Bit(e.what()));
        }
        fclose(fp);
    }
    builder.finish();

    auto drawing = std::make_unique<Drawing>();
    for (const Layer& l : builder.layers)
        drawing->putLayer(l);
    for (const QString& lt : builder.linetypes)
        drawing->addLinetype(lt);
    makeHeaderLayerCurrent(*drawing, builder.currentLayerName());

    drawing->reserveEntities(builder.model.size());
    Expander expander(builder.blocks);
    QSet<QString> known;
    for (RawEntity& raw : builder.model) {
        Entity e;
        e.type = std::move(raw.type);
        e.layer = std::move(raw.layer);
        // ByBlock outside a block has no block to take a colour from: the CAD shows white.
        e.color = raw.color == aci::ByBlock ? 7 : raw.color;
        if (raw.insert) {
            e.blockName = raw.insert->block;
            expander.expand(*raw.insert, e.layer, e.color, QTransform(), e.primitives, 0);
        } else {
            e.primitives = std::move(raw.primitives);
            for (Primitive& p : e.primitives)
                if (p.color == aci::ByBlock)
                    p.color = 7;
        }
        // An entity on a layer the table lacks: the CAD makes the layer. Names seen once
        // are remembered exactly, which spares a case fold for every entity.
        if (!known.contains(e.layer) && drawing->layerIndex(e.layer) < 0) {
            if (Drawing::isValidLayerName(e.layer)) {
                drawing->addLayer(e.layer);
            } else {
                e.layer = QStringLiteral("0");
                for (Primitive& p : e.primitives)
                    p.layer = e.layer;
            }
        }
        known.insert(e.layer);
        for (const Primitive& p : e.primitives) {
            if (known.contains(p.layer))
                continue;
            if (drawing->layerIndex(p.layer) < 0 && Drawing::isValidLayerName(p.layer))
                drawing->addLayer(p.layer);
            known.insert(p.layer);
        }
        drawing->addEntity(std::move(e));
    }
    return drawing;
}

} // namespace cadhost::dxf
