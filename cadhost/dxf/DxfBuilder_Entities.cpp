// The builder's single-record entities: points, lines, circles, arcs, ellipses, solids,
// faces, texts, and the block references and dimensions expanded later.
#include "cadhost/dxf/DxfBuilder.h"

#include "cadhost/dxf/Tessellate.h"

#include <QTransform>
#include <algorithm>
#include <cmath>

namespace cadhost::dxf::detail {

namespace {

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

} // namespace

// --- simple entities -----------------------------------------------------------
// A curve whose numbers are no numbers comes back without points: the entity stays (it
// is in the file and on its layer) but draws nothing.
void DxfBuilder::appendCurve(RawEntity& e, QVector<QPointF> pts, bool closed) {
    if (!pts.isEmpty())
        e.primitives.append(Primitive::polyline(e.layer, e.color, std::move(pts), closed));
}
void DxfBuilder::addPoint(const DL_PointData& d) {
    flush();
    RawEntity e = start("POINT");
    e.primitives.append(Primitive::polyline(e.layer, e.color, {QPointF(d.x, d.y)}));
    emitEntity(std::move(e));
}
void DxfBuilder::addLine(const DL_LineData& d) {
    flush();
    RawEntity e = start("LINE");
    e.primitives.append(
        Primitive::polyline(e.layer, e.color, {QPointF(d.x1, d.y1), QPointF(d.x2, d.y2)}));
    emitEntity(std::move(e));
}
void DxfBuilder::addCircle(const DL_CircleData& d) {
    flush();
    RawEntity e = start("CIRCLE");
    appendCurve(e, ocs(tessellate::circle(QPointF(d.cx, d.cy), d.radius)), true);
    emitEntity(std::move(e));
}
void DxfBuilder::addArc(const DL_ArcData& d) {
    flush();
    RawEntity e = start("ARC");
    appendCurve(e,
                ocs(tessellate::arc(QPointF(d.cx, d.cy), d.radius, d.angle1 / kDegPerRad,
                                    d.angle2 / kDegPerRad)),
                false);
    emitEntity(std::move(e));
}
void DxfBuilder::addEllipse(const DL_EllipseData& d) {
    flush();
    RawEntity e = start("ELLIPSE");
    appendCurve(
        e,
        tessellate::ellipse(QPointF(d.cx, d.cy), QPointF(d.mx, d.my), d.ratio, d.angle1, d.angle2),
        false);
    emitEntity(std::move(e));
}
void DxfBuilder::addSolid(const DL_SolidData& d) {
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
void DxfBuilder::addTrace(const DL_TraceData& d) {
    flush();
    RawEntity e = start("TRACE");
    e.primitives.append(
        Primitive::filledPolygon(e.layer, e.color,
                                 ocs({QPointF(d.x[0], d.y[0]), QPointF(d.x[1], d.y[1]),
                                      QPointF(d.x[3], d.y[3]), QPointF(d.x[2], d.y[2])})));
    emitEntity(std::move(e));
}
void DxfBuilder::add3dFace(const DL_3dFaceData& d) {
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
void DxfBuilder::addText(const DL_TextData& d) {
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
void DxfBuilder::addMText(const DL_MTextData& d) {
    flush();
    RawEntity e = start("MTEXT");
    const QString whole = DxfText::plainMText(m_text.decode(m_mtextChunks + d.text));
    m_mtextChunks.clear();
    const QStringList lines = whole.split(QLatin1Char('\n'));
    const int attach = (d.attachmentPoint >= 1 && d.attachmentPoint <= 9) ? d.attachmentPoint : 1;
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
        e.primitives.append(Primitive::textAt(e.layer, e.color, t.map(local), d.height, rotation,
                                              lines[i], halign));
    }
    emitEntity(std::move(e));
}

// --- block references --------------------------------------------------------
void DxfBuilder::addInsert(const DL_InsertData& d) {
    flush();
    RawEntity e = start("INSERT");
    RawInsert ins;
    ins.block = m_text.decode(d.name);
    ins.insertion = QPointF(d.ipx, d.ipy);
    ins.sx = d.sx == 0 ? 1 : d.sx;
    ins.sy = d.sy == 0 ? 1 : d.sy;
    ins.angleDeg = d.angle;
    // As large as the file has it: the expansion budget bounds what an array makes.
    ins.cols = std::max(d.cols, 1);
    ins.rows = std::max(d.rows, 1);
    ins.colSpacing = d.colSp;
    ins.rowSpacing = d.rowSp;
    ins.mirrored = m_mirrored;
    e.insert = std::make_shared<const RawInsert>(std::move(ins));
    emitEntity(std::move(e));
}
void DxfBuilder::addDimension(const DL_DimensionData&) {
    flush();
    RawEntity e = start("DIMENSION");
    RawInsert ins;
    // The dimension's picture is its anonymous block, drawn in world coordinates.
    ins.block = m_text.decode(m_dxf.getStringValue(2, ""));
    e.insert = std::make_shared<const RawInsert>(std::move(ins));
    emitEntity(std::move(e));
}
void DxfBuilder::addDimAlign(const DL_DimensionData& d, const DL_DimAlignedData&) {
    addDimension(d);
}
void DxfBuilder::addDimLinear(const DL_DimensionData& d, const DL_DimLinearData&) {
    addDimension(d);
}
void DxfBuilder::addDimRadial(const DL_DimensionData& d, const DL_DimRadialData&) {
    addDimension(d);
}
void DxfBuilder::addDimDiametric(const DL_DimensionData& d, const DL_DimDiametricData&) {
    addDimension(d);
}
void DxfBuilder::addDimAngular(const DL_DimensionData& d, const DL_DimAngular2LData&) {
    addDimension(d);
}
void DxfBuilder::addDimAngular3P(const DL_DimensionData& d, const DL_DimAngular3PData&) {
    addDimension(d);
}
void DxfBuilder::addDimOrdinate(const DL_DimensionData& d, const DL_DimOrdinateData&) {
    addDimension(d);
}

} // namespace cadhost::dxf::detail
