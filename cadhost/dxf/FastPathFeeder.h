#pragma once

#include "cadhost/dxf/DxfPrescan.h"
#include "cadhost/dxf/DxfRawEntity.h"

#include <QByteArray>
#include <string_view>

namespace cadhost::dxf::detail {

class DxfBuilder;

// Splits the checked pairs: lines, circles, arcs and lightweight polylines make up
// most of a drawing and dxflib spends most of its time on them (a string stream for
// every number, a map insert for every pair), so their groups are read here the way
// dxflib reads them and queued for the builder; everything else is copied for dxflib,
// with a marker where a queued entity stood.
class FastPathFeeder : public DxfPairSink {
public:
    FastPathFeeder(DxfBuilder& builder, qsizetype sizeHint) : m_builder(builder) {
        m_forDxflib.reserve(sizeHint / 8 + 4096);
    }

    QByteArray& forDxflib() { return m_forDxflib; }

    void pair(int code, std::string_view value, double number) override;
    void headerText(const DxfPrescan& scan) override;
    void finish() { finishFast(); }

private:
    static FastKind fastKind(std::string_view type);
    void append(int code, std::string_view value);
    // dxflib's strtol: the leading integer of the value. The value lies in the file's
    // bytes, which end in a line end or the terminating zero, so strtol stops there.
    static int leadingInt(std::string_view value);
    void beginFast(FastKind kind);
    void collect(int code, std::string_view value, double number);
    // As dxflib fills its vertex array: code 90 sizes it, each 10 moves to the next
    // vertex until it is full (more points overwrite the last), 42 is that vertex's
    // bulge. Without a count every point is taken.
    void collectVertex(int code, std::string_view value, double number);
    void finishFast();

    DxfBuilder& m_builder;
    QByteArray m_forDxflib;
    FastEntity m_fast;
    int m_count = -1;
    // Within an MTEXT, and within the embedded object that ends its own groups.
    bool m_inMText = false;
    bool m_inEmbeddedObject = false;
};

} // namespace cadhost::dxf::detail
