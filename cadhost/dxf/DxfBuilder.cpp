// The builder's shared bookkeeping (fast-path replay, entity start and emit) and the
// records that are not drawn: header variables, tables and block boundaries.
#include "cadhost/dxf/DxfBuilder.h"

#include "cadhost/model/Drawing.h"

#include <cstring>

namespace cadhost::dxf::detail {

void DxfBuilder::finish() {
    replayDue();
    flush();
}

void DxfBuilder::limitLayerNames(const LayerNameLimit& limit) {
    const auto fix = [&](QString& name) {
        if (name.size() > Drawing::kMaxLayerNameLength)
            name = limit(name);
    };
    const auto fixEntity = [&](RawEntity& e) {
        fix(e.layer);
        for (Primitive& p : e.primitives)
            fix(p.layer);
    };
    for (Layer& l : layers)
        fix(l.name);
    for (RawEntity& e : model)
        fixEntity(e);
    for (Block& b : blocks)
        for (RawEntity& e : b.entities)
            fixEntity(e);
    QSet<QString> paperSpace;
    for (QString name : std::as_const(paperSpaceLayers)) {
        fix(name);
        paperSpace.insert(name);
    }
    paperSpaceLayers = paperSpace;
}

void DxfBuilder::setText(const DxfText& text) {
    m_text = text;
    m_names.clear();
    m_nameOrder.clear();
}

void DxfBuilder::processCodeValuePair(unsigned int code, const std::string& value) {
    // dxflib ends the object before a marker only after this call, so a marker's
    // entity is built at the next pair (always a code 0) or at the end.
    replayDue();
    if (code == 0 && value == kFastMarker)
        ++m_fastDue;
    if (code == 0 && value == "SEQEND")
        m_seqEndSeen = true;
}
void DxfBuilder::replayDue() {
    for (; m_fastDue > 0; --m_fastDue)
        replay(fast[m_fastNext++]);
}

QString DxfBuilder::currentLayerName() const {
    return m_text.decode(currentLayer);
}
void DxfBuilder::setVariableString(const std::string& key, const std::string& value, int) {
    if (key == "$CLAYER")
        currentLayer = value;
}

// --- tables ------------------------------------------------------------------
void DxfBuilder::addLayer(const DL_LayerData& d) {
    flush();
    Layer l;
    l.name = m_text.decode(d.name);
    // A drawing keeps the names its file gives, even ones a user could not type in;
    // only a nameless record, which nothing can address, is left out.
    if (l.name.isEmpty())
        return;
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

void DxfBuilder::addLinetype(const DL_LinetypeData& d) {
    flush();
    const QString name = m_text.decode(d.name);
    if (!name.isEmpty())
        linetypes << name;
}

// --- blocks ------------------------------------------------------------------
void DxfBuilder::addBlock(const DL_BlockData& d) {
    flush();
    const QString name = m_text.decode(d.name);
    Block& b = blocks[Drawing::nameKey(name)];
    b = Block{};
    b.base = QPointF(d.bpx, d.bpy);
    m_block = &b;
}
void DxfBuilder::endBlock() {
    flush();
    m_block = nullptr;
}
// dxflib reports the end of every object here, not only of sections.
void DxfBuilder::endSection() {
    if (!awaitingVertices())
        flush();
}

QString DxfBuilder::intern(std::string_view value) {
    // No more of a name than the reader ever uses is looked at, hashed or kept.
    const std::string_view bytes = LayerNameLimit::nameBytes(value);
    const QByteArray key = QByteArray::fromRawData(bytes.data(), qsizetype(bytes.size()));
    const auto it = m_names.constFind(key);
    if (it != m_names.constEnd())
        return *it;
    QString decoded = m_text.decode(std::string(bytes));
    m_names.insert(QByteArray(bytes.data(), qsizetype(bytes.size())), decoded);
    m_nameOrder << decoded;
    return decoded;
}

void DxfBuilder::replay(const FastEntity& f) {
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
QString DxfBuilder::typeName(const char* type) {
    for (const auto& [key, name] : m_types)
        if (key == type || std::strcmp(key, type) == 0)
            return name;
    m_types.emplace_back(type, QString::fromLatin1(type));
    return m_types.back().second;
}

RawEntity DxfBuilder::start(const char* type) {
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

QVector<QPointF> DxfBuilder::ocs(QVector<QPointF> pts) const {
    if (m_mirrored)
        for (QPointF& p : pts)
            p.setX(-p.x());
    return pts;
}

void DxfBuilder::emitEntity(RawEntity e) {
    // Paper-space entities are not part of the model the automation interface sees;
    // their layers still count as used (the file keeps the entities themselves).
    if (!m_block && e.paperSpace) {
        paperSpaceLayers.insert(e.layer);
        return;
    }
    if (m_block)
        m_block->entities.push_back(std::move(e));
    else
        model.push_back(std::move(e));
}

} // namespace cadhost::dxf::detail
