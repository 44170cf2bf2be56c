#pragma once

#include "cadhost/dxf/DxfRawEntity.h"
#include "cadhost/dxf/DxfText.h"
#include "cadhost/dxf/LayerNameLimit.h"
#include "cadhost/model/Layer.h"

#include <QByteArray>
#include <QHash>
#include <QSet>
#include <QStringList>
#include <dxflib/dl_creationadapter.h>
#include <dxflib/dl_dxf.h>
#include <string>
#include <utility>
#include <vector>

namespace cadhost::dxf::detail {

// Collects what dxflib reads into layers, linetypes, blocks and model-space entities,
// not yet expanded. Its callbacks are defined by entity family: tables, blocks and the
// shared bookkeeping in DxfBuilder.cpp, single-record entities, texts and references in
// DxfBuilder_Entities.cpp, multi-record polylines, splines and hatches in
// DxfBuilder_Curves.cpp.
class DxfBuilder : public DL_CreationAdapter {
public:
    explicit DxfBuilder(DL_Dxf& dxf) : m_dxf(dxf) {}

    std::vector<Layer> layers;
    QStringList linetypes;
    QHash<QString, Block> blocks; // by case-folded name
    std::vector<RawEntity> model;
    QSet<QString> paperSpaceLayers; // layers of paper-space entities outside blocks

    void finish();

    // Every layer name objects gave (the table's are in `layers`), in the order met, for
    // LayerNameLimit: the same file always gets the same names.
    const QStringList& objectLayerNames() const { return m_nameOrder; }
    // Puts the cut names in place of the long ones, everywhere they are held.
    void limitLayerNames(const LayerNameLimit& limit);

    // The header names the encoding; names decoded before it are decoded again.
    void setText(const DxfText& text);

    // Entities read without dxflib, in file order, each replayed where dxflib meets
    // its marker so that order and block membership stay as in the file.
    std::vector<FastEntity> fast;
    QVector<QPointF> fastPoints;
    QVector<double> fastBulges;

    void processCodeValuePair(unsigned int code, const std::string& value) override;
    void replayDue();

    // The layer being drawn on, as the header names it; decoded once the header's
    // encoding is known.
    std::string currentLayer;
    QString currentLayerName() const;
    void setVariableString(const std::string& key, const std::string& value, int) override;

    // --- tables ------------------------------------------------------------------
    void addLayer(const DL_LayerData& d) override;
    void addLinetype(const DL_LinetypeData& d) override;

    // --- blocks ------------------------------------------------------------------
    void addBlock(const DL_BlockData& d) override;
    void endBlock() override;
    // dxflib reports the end of every object here, not only of sections.
    void endSection() override;

    // --- simple entities -----------------------------------------------------------
    void addPoint(const DL_PointData& d) override;
    void addLine(const DL_LineData& d) override;
    void addCircle(const DL_CircleData& d) override;
    void addArc(const DL_ArcData& d) override;
    void addEllipse(const DL_EllipseData& d) override;
    void addSolid(const DL_SolidData& d) override;
    void addTrace(const DL_TraceData& d) override;
    void add3dFace(const DL_3dFaceData& d) override;

    // --- texts -------------------------------------------------------------------
    void addText(const DL_TextData& d) override;
    void addMTextChunk(const std::string& chunk) override { m_mtextChunks += chunk; }
    void addMText(const DL_MTextData& d) override;

    // --- polylines ---------------------------------------------------------------
    void addPolyline(const DL_PolylineData& d) override;
    void addVertex(const DL_VertexData& d) override;
    void endSequence() override;
    // An old-style polyline still has its VERTEX records to come, up to its SEQEND,
    // when dxflib already reports the end of the polyline object itself.
    bool awaitingVertices() const {
        return m_pending == Pending::Polyline && m_oldStylePolyline && !m_seqEndSeen;
    }

    void addSpline(const DL_SplineData& d) override;
    void addControlPoint(const DL_ControlPointData& d) override;
    void addFitPoint(const DL_FitPointData& d) override;
    void addKnot(const DL_KnotData& d) override;

    // --- hatch -------------------------------------------------------------------
    void addHatch(const DL_HatchData& d) override;
    void addHatchLoop(const DL_HatchLoopData&) override;
    void addHatchEdge(const DL_HatchEdgeData& e) override;

    // --- block references --------------------------------------------------------
    void addInsert(const DL_InsertData& d) override;
    void addDimension(const DL_DimensionData&);
    void addDimAlign(const DL_DimensionData& d, const DL_DimAlignedData&) override;
    void addDimLinear(const DL_DimensionData& d, const DL_DimLinearData&) override;
    void addDimRadial(const DL_DimensionData& d, const DL_DimRadialData&) override;
    void addDimDiametric(const DL_DimensionData& d, const DL_DimDiametricData&) override;
    void addDimAngular(const DL_DimensionData& d, const DL_DimAngular2LData&) override;
    void addDimAngular3P(const DL_DimensionData& d, const DL_DimAngular3PData&) override;
    void addDimOrdinate(const DL_DimensionData& d, const DL_DimOrdinateData&) override;

private:
    enum class Pending { None, Polyline, Spline, Hatch };

    // Interns names so that the primitives of 200,000 entities share a few strings.
    QString intern(std::string_view bytes);
    void replay(const FastEntity& f);
    // One shared string per type name rather than one allocation per entity.
    QString typeName(const char* type);
    RawEntity start(const char* type);
    QVector<QPointF> ocs(QVector<QPointF> pts) const;
    static void appendCurve(RawEntity& e, QVector<QPointF> pts, bool closed);
    static void appendJoined(QVector<QPointF>& loop, const QVector<QPointF>& pts);
    void emitEntity(RawEntity e);
    void flush();

    DL_Dxf& m_dxf;
    DxfText m_text;
    QHash<QByteArray, QString> m_names;
    QStringList m_nameOrder;
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

} // namespace cadhost::dxf::detail
