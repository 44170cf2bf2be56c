#include "cadhost/dxf/FastPathFeeder.h"

#include "cadhost/dxf/DxfBuilder.h"

#include <algorithm>
#include <cstdlib>
#include <dxflib/dl_dxf.h>

namespace cadhost::dxf::detail {

void FastPathFeeder::pair(int code, std::string_view value, double number) {
    if (code == 0) {
        m_inMText = value == "MTEXT";
        m_inEmbeddedObject = false;
    } else if (m_inMText && code == 101) {
        // Current CADs follow an MTEXT's own groups with an embedded object (its column
        // data) that uses the same codes for other things: dxflib would take its points
        // and sizes for the text's own, and one far-away, huge text would stretch the
        // frame every picture of the drawing shares.
        m_inEmbeddedObject = true;
    }
    if (m_inEmbeddedObject)
        return;
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

void FastPathFeeder::headerText(const DxfPrescan& scan) {
    m_builder.setText(DxfText(scan.acadVersion, scan.codePage));
}

FastKind FastPathFeeder::fastKind(std::string_view type) {
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

void FastPathFeeder::append(int code, std::string_view value) {
    m_forDxflib += QByteArray::number(code);
    m_forDxflib += '\n';
    // dxflib reads lines into a buffer of DL_DXF_MAXLINE bytes and never sees more.
    m_forDxflib.append(value.data(),
                       qsizetype(std::min<std::size_t>(value.size(), DL_DXF_MAXLINE - 2)));
    m_forDxflib += '\n';
}

int FastPathFeeder::leadingInt(std::string_view value) {
    return int(std::strtol(value.data(), nullptr, 10));
}

void FastPathFeeder::beginFast(FastKind kind) {
    m_fast = FastEntity{};
    m_fast.kind = kind;
    m_fast.firstPoint = m_builder.fastPoints.size();
    m_count = -1;
}

void FastPathFeeder::collect(int code, std::string_view value, double number) {
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

void FastPathFeeder::collectVertex(int code, std::string_view value, double number) {
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

void FastPathFeeder::finishFast() {
    if (m_fast.kind == FastKind::None)
        return;
    m_builder.fast.push_back(m_fast);
    m_fast.kind = FastKind::None;
}

} // namespace cadhost::dxf::detail
