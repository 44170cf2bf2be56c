#include "cadhost/dxf/DxfWriter.h"

#include "platform/SafeFile.h"

#include "cadhost/dxf/DxfSource.h"
#include "cadhost/model/CadErrors.h"
#include "cadhost/model/Drawing.h"

#include <QFileInfo>

namespace cadhost::dxf {

namespace {

class Out {
public:
    void pair(int code, const QString& value) {
        m_bytes += QByteArray::number(code);
        m_bytes += '\n';
        m_bytes += escaped(value);
        m_bytes += '\n';
    }
    void pair(int code, const char* value) { pair(code, QString::fromLatin1(value)); }
    void pair(int code, int value) { pair(code, QString::number(value)); }
    void real(int code, double value) { pair(code, QString::number(value, 'g', 15)); }
    void point(int code, QPointF p) {
        real(code, p.x());
        real(code + 10, p.y());
        real(code + 20, 0.0);
    }
    QByteArray bytes() const { return m_bytes; }

private:
    static QByteArray escaped(QString text) {
        // A line break inside a value would split the pair structure.
        text.replace(QLatin1Char('\n'), QLatin1Char(' '));
        text.replace(QLatin1Char('\r'), QLatin1Char(' '));
        return text.toUtf8();
    }
    QByteArray m_bytes;
};

void writePrimitive(Out& out, const Primitive& p) {
    switch (p.kind) {
    case Primitive::Kind::Text:
        out.pair(0, "TEXT");
        out.pair(8, p.layer);
        out.pair(62, p.color);
        out.point(10, p.position);
        out.real(40, p.height);
        out.pair(1, p.text);
        out.real(50, p.rotation);
        if (p.halign != 0) {
            out.pair(72, p.halign);
            out.point(11, p.position);
        }
        return;
    case Primitive::Kind::FilledPolygon:
        if (p.points.size() >= 3 && p.points.size() <= 4) {
            out.pair(0, "SOLID");
            out.pair(8, p.layer);
            out.pair(62, p.color);
            const QPointF& a = p.points[0];
            const QPointF& b = p.points[1];
            const QPointF& c = p.points[2];
            const QPointF& d = p.points.size() == 4 ? p.points[3] : c;
            // Solids store their last two corners crosswise.
            out.point(10, a);
            out.point(11, b);
            out.point(12, d);
            out.point(13, c);
            return;
        }
        [[fallthrough]]; // larger fills are kept as their outline
    case Primitive::Kind::Polyline:
        if (p.points.size() == 1) {
            out.pair(0, "POINT");
            out.pair(8, p.layer);
            out.pair(62, p.color);
            out.point(10, p.points[0]);
            return;
        }
        if (p.points.size() == 2 && !p.closed) {
            out.pair(0, "LINE");
            out.pair(8, p.layer);
            out.pair(62, p.color);
            out.point(10, p.points[0]);
            out.point(11, p.points[1]);
            return;
        }
        out.pair(0, "POLYLINE");
        out.pair(8, p.layer);
        out.pair(62, p.color);
        out.pair(66, 1);
        out.point(10, QPointF());
        out.pair(70, p.closed || p.kind == Primitive::Kind::FilledPolygon ? 1 : 0);
        for (const QPointF& pt : p.points) {
            out.pair(0, "VERTEX");
            out.pair(8, p.layer);
            out.point(10, pt);
        }
        out.pair(0, "SEQEND");
        out.pair(8, p.layer);
        return;
    }
}

} // namespace

QByteArray DxfWriter::toBytes(const Drawing& drawing) {
    if (const auto* source = dynamic_cast<const DxfSource*>(drawing.source()))
        return source->rewrite(drawing);
    return newFile(drawing);
}

QByteArray DxfWriter::newFile(const Drawing& drawing) {
    Out out;
    out.pair(0, "SECTION");
    out.pair(2, "HEADER");
    out.pair(9, "$ACADVER");
    out.pair(1, "AC1021");
    out.pair(9, "$DWGCODEPAGE");
    out.pair(3, "ANSI_1252");
    out.pair(9, "$CLAYER");
    out.pair(8, drawing.getActiveLayer());
    out.pair(0, "ENDSEC");

    out.pair(0, "SECTION");
    out.pair(2, "TABLES");
    QStringList linetypes;
    for (const QString& lt : drawing.linetypeNames())
        if (lt.compare(QLatin1String("ByLayer"), Qt::CaseInsensitive) != 0 &&
            lt.compare(QLatin1String("ByBlock"), Qt::CaseInsensitive) != 0)
            linetypes << lt;
    out.pair(0, "TABLE");
    out.pair(2, "LTYPE");
    out.pair(70, int(linetypes.size()));
    for (const QString& lt : linetypes) {
        out.pair(0, "LTYPE");
        out.pair(2, lt);
        out.pair(70, 0);
        out.pair(3, "");
        out.pair(72, 65);
        out.pair(73, 0);
        out.real(40, 0.0);
    }
    out.pair(0, "ENDTAB");
    out.pair(0, "TABLE");
    out.pair(2, "LAYER");
    out.pair(70, drawing.layerCount());
    for (const Layer& l : drawing.layers()) {
        out.pair(0, "LAYER");
        out.pair(2, l.name);
        out.pair(70, (l.freeze ? 1 : 0) | (l.viewportDefault ? 2 : 0) | (l.lock ? 4 : 0));
        out.pair(62, l.layerOn ? l.color : -l.color);
        out.pair(6, l.linetype);
        out.pair(290, l.plottable ? 1 : 0);
        out.pair(370, l.lineweight);
    }
    out.pair(0, "ENDTAB");
    out.pair(0, "ENDSEC");

    // Entities of several primitives keep their unity through a block of their own.
    out.pair(0, "SECTION");
    out.pair(2, "BLOCKS");
    int blockNumber = 0;
    for (const Entity& e : drawing.entities()) {
        if (e.primitives.size() <= 1)
            continue;
        out.pair(0, "BLOCK");
        out.pair(8, "0");
        out.pair(2, QStringLiteral("*U%1").arg(++blockNumber));
        out.pair(70, 1);
        out.point(10, QPointF());
        out.pair(3, QStringLiteral("*U%1").arg(blockNumber));
        for (const Primitive& p : e.primitives)
            writePrimitive(out, p);
        out.pair(0, "ENDBLK");
        out.pair(8, "0");
    }
    out.pair(0, "ENDSEC");

    out.pair(0, "SECTION");
    out.pair(2, "ENTITIES");
    blockNumber = 0;
    for (const Entity& e : drawing.entities()) {
        if (e.primitives.size() == 1) {
            Primitive p = e.primitives.front();
            p.layer = e.layer; // the entity's own layer is what selections count by
            writePrimitive(out, p);
            continue;
        }
        out.pair(0, "INSERT");
        out.pair(8, e.layer);
        out.pair(62, e.color == aci::ByBlock ? aci::ByLayer : e.color);
        if (e.primitives.isEmpty()) {
            // Nothing to draw (a reference to a missing block): keep the object itself.
            out.pair(2, QStringLiteral("*U0"));
        } else {
            out.pair(2, QStringLiteral("*U%1").arg(++blockNumber));
        }
        out.point(10, QPointF());
    }
    out.pair(0, "ENDSEC");
    out.pair(0, "EOF");
    return out.bytes();
}

void DxfWriter::writeFile(const Drawing& drawing, const QString& path) {
    QString why;
    if (!platform::SafeFile::write(path, toBytes(drawing), platform::SafeFile::Sync::ToDisk, &why))
        throwCadError(caderr::Failed,
                      QStringLiteral("cannot save %1: %2").arg(QFileInfo(path).fileName(), why));
}

} // namespace cadhost::dxf
