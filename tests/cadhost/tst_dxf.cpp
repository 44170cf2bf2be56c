// DXF in and out: what other programs write, what we write, and what a damaged file does.
#include "cadhost/dxf/DxfReader.h"
#include "cadhost/dxf/DxfStore.h"
#include "cadhost/dxf/DxfText.h"
#include "cadhost/dxf/DxfWriter.h"
#include "cadhost/model/CadApplication.h"
#include "cadhost/model/CadErrors.h"
#include "cadhost/model/Drawing.h"
#include "platform/VbError.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QStringEncoder>
#include <QTemporaryDir>
#include <gtest/gtest.h>

// Readable failures: gtest would print a QString as UTF-16 code units.
void PrintTo(const QString& s, std::ostream* os) {
    *os << s.toStdString();
}

using cadhost::Drawing;
using cadhost::dxf::DxfReader;
using cadhost::dxf::DxfWriter;

namespace {

QString python() {
    return QFile::exists(QStringLiteral("/usr/bin/python3")) ? QStringLiteral("/usr/bin/python3")
                                                             : QStringLiteral("python3");
}

// Runs a python script with ezdxf; returns its stdout, fails the test on error.
QString runPython(const QString& script, const QStringList& args = {}) {
    QProcess p;
    p.start(python(), QStringList{QStringLiteral("-c"), script} + args);
    EXPECT_TRUE(p.waitForFinished(60000));
    EXPECT_EQ(p.exitCode(), 0) << p.readAllStandardError().toStdString();
    return QString::fromUtf8(p.readAllStandardOutput()).trimmed();
}

QString readError(const QByteArray& bytes) {
    try {
        DxfReader::readBytes(bytes, QStringLiteral("plan.dxf"));
    } catch (const platform::AutomationError& e) {
        return e.description();
    }
    return {};
}

// The ezdxf summary of a file: layers with states, then per-layer entity counts.
const char* kSummary = R"(
import sys, ezdxf, collections
d = ezdxf.readfile(sys.argv[1])
for l in d.layers:
    print('L', l.dxf.name, abs(l.dxf.color), int(l.is_off()), int(l.is_frozen()), int(l.is_locked()), l.dxf.linetype)
c = collections.Counter(e.dxf.layer for e in d.modelspace())
for k in sorted(c): print('C', k, c[k])
)";

QString hostSummary(const Drawing& d) {
    QStringList lines;
    for (const cadhost::Layer& l : d.layers())
        lines << QStringLiteral("L %1 %2 %3 %4 %5 %6")
                     .arg(l.name)
                     .arg(l.color)
                     .arg(int(!l.layerOn))
                     .arg(int(l.freeze))
                     .arg(int(l.lock))
                     .arg(l.linetype);
    QMap<QString, int> counts;
    for (const cadhost::Entity& e : d.entities())
        ++counts[e.layer];
    for (auto it = counts.begin(); it != counts.end(); ++it)
        lines << QStringLiteral("C %1 %2").arg(it.key()).arg(it.value());
    return lines.join(QLatin1Char('\n'));
}

const char* kEzdxfPlan = R"(
import sys, ezdxf
d = ezdxf.new('R2010')
d.linetypes.add('DASHED', [0.75, 0.5, -0.25], description='Dashed')
d.layers.add('WALL', color=1)
d.layers.add('居間', color=3)
off = d.layers.add('OFF', color=5); off.off()
fr = d.layers.add('FROZEN', color=6); fr.freeze()
lk = d.layers.add('LOCKED', color=2, linetype='DASHED'); lk.lock()
b = d.blocks.new('DOOR')
b.add_line((0, 0), (1, 0), dxfattribs={'layer': '0'})
b.add_arc((0, 0), 1, 0, 90, dxfattribs={'layer': 'WALL'})
m = d.modelspace()
m.add_line((0, 0), (10, 0), dxfattribs={'layer': 'WALL'})
m.add_circle((5, 5), 2, dxfattribs={'layer': 'WALL'})
m.add_arc((5, 5), 3, 0, 180, dxfattribs={'layer': 'OFF'})
m.add_lwpolyline([(0, 0, 0, 0, 1), (4, 0), (4, 4)], format='xyseb', close=True, dxfattribs={'layer': 'FROZEN'})
m.add_text('台所', dxfattribs={'layer': '居間', 'height': 0.5}).set_placement((1, 1))
m.add_mtext('a\\Pb', dxfattribs={'layer': '居間', 'char_height': 0.3, 'insert': (2, 2)})
m.add_blockref('DOOR', (20, 0), dxfattribs={'layer': 'LOCKED', 'rotation': 90, 'xscale': 2, 'yscale': 2})
m.add_ellipse((0, 10), major_axis=(3, 0), ratio=0.5, dxfattribs={'layer': 'WALL'})
m.add_spline([(0, 0), (1, 2), (3, 1), (4, 4)], dxfattribs={'layer': 'WALL'})
m.add_solid([(0, 0), (1, 0), (0, 1), (1, 1)], dxfattribs={'layer': 'OFF'})
m.add_3dface([(0, 0), (1, 0), (1, 1), (0, 1)], dxfattribs={'layer': 'OFF'})
h = m.add_hatch(color=4, dxfattribs={'layer': 'WALL'}); h.paths.add_polyline_path([(0, 0), (3, 0), (3, 3)])
m.add_point((7, 7), dxfattribs={'layer': 'WALL'})
dim = m.add_linear_dim(base=(0, -2), p1=(0, 0), p2=(10, 0), dxfattribs={'layer': 'WALL'}); dim.render()
d.saveas(sys.argv[1])
)";

} // namespace

TEST(DxfReadTest, ReadsWhatEzdxfWrites) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("plan.dxf"));
    runPython(QString::fromUtf8(kEzdxfPlan), {path});
    const auto d = DxfReader::readFile(path);

    const cadhost::Layer* off = d->findLayer(QStringLiteral("off"));
    ASSERT_TRUE(off);
    EXPECT_FALSE(off->layerOn);
    EXPECT_EQ(off->color, 5);
    EXPECT_TRUE(d->findLayer(QStringLiteral("FROZEN"))->freeze);
    EXPECT_TRUE(d->findLayer(QStringLiteral("LOCKED"))->lock);
    EXPECT_EQ(d->findLayer(QStringLiteral("LOCKED"))->linetype, QStringLiteral("DASHED"));
    EXPECT_TRUE(d->findLayer(QStringLiteral("居間"))); // UTF-8 names of AC1024
    EXPECT_TRUE(d->hasLinetype(QStringLiteral("DASHED")));

    // Same per-layer object counts as ezdxf sees (the dimension is one object).
    EXPECT_EQ(hostSummary(*d).section(QLatin1Char('\n'), -6),
              runPython(QString::fromUtf8(kSummary), {path}).section(QLatin1Char('\n'), -6));

    // The block reference: its layer-"0" line takes the reference's layer; its arc keeps
    // WALL; rotation 90 and scale 2 put the line from (20,0) to (20,2).
    const auto insert = std::find_if(d->entities().begin(), d->entities().end(),
                                     [](const cadhost::Entity& e) { return e.type == "INSERT"; });
    ASSERT_NE(insert, d->entities().end());
    ASSERT_EQ(insert->primitives.size(), 2);
    EXPECT_EQ(insert->primitives[0].layer, QStringLiteral("LOCKED"));
    EXPECT_EQ(insert->primitives[1].layer, QStringLiteral("WALL"));
    EXPECT_NEAR(insert->primitives[0].points[1].x(), 20.0, 1e-9);
    EXPECT_NEAR(insert->primitives[0].points[1].y(), 2.0, 1e-9);

    bool sawText = false;
    for (const cadhost::Entity& e : d->entities())
        for (const cadhost::Primitive& p : e.primitives)
            if (p.kind == cadhost::Primitive::Kind::Text && p.text == QStringLiteral("台所"))
                sawText = true;
    EXPECT_TRUE(sawText);
    // The circle of radius 2 at (5,5) stays inside its box and is closed.
    const QRectF ext = d->extents();
    EXPECT_LE(ext.left(), 0.0);
    EXPECT_GE(ext.right(), 20.0);
}

// An MTEXT in columns as current CADs write it: its own groups, then an embedded object
// of column data whose codes 10, 11 and 40 are a direction, the insertion point and the
// column width. The drawing keeps the frame of its geometry, and the text stands where
// an independent reader reads it.
TEST(DxfReadTest, AnMTextsEmbeddedObjectIsNotTakenForTheTextItself) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("columns.dxf"));
    const QStringList ref = runPython(QStringLiteral(R"(
import sys, ezdxf
d = ezdxf.new('R2018')
m = d.modelspace()
m.add_line((0, 0), (100, 50))
m.add_mtext_static_columns(['Room', 'Hall'], width=30, gutter_width=5, height=20,
                           dxfattribs={'insert': (10, 10), 'char_height': 2.5})
d.saveas(sys.argv[1])
assert 'Embedded Object' in open(sys.argv[1]).read()
t = ezdxf.readfile(sys.argv[1]).modelspace().query('MTEXT')[0]
print(t.dxf.insert.x, t.dxf.insert.y, t.dxf.char_height))"),
                                      {path})
                                .split(QLatin1Char(' '));
    ASSERT_EQ(ref.size(), 3);
    auto d = DxfReader::readFile(path);
    const QRectF ext = d->extents();
    EXPECT_NEAR(ext.left(), 0, 1e-6);
    EXPECT_LT(ext.right(), 110);
    EXPECT_LT(ext.height(), 60);
    bool sawText = false;
    for (const cadhost::Entity& e : d->entities())
        for (const cadhost::Primitive& p : e.primitives)
            if (p.kind == cadhost::Primitive::Kind::Text &&
                p.text.startsWith(QStringLiteral("Room"))) {
                sawText = true;
                EXPECT_NEAR(p.position.x(), ref[0].toDouble(), 1e-6);
                EXPECT_NEAR(p.height, ref[2].toDouble(), 1e-6);
            }
    EXPECT_TRUE(sawText);
}

TEST(DxfReadTest, OldFilesDecodeByCodePageAndEscapes) {
    QByteArray bytes =
        "0\nSECTION\n2\nHEADER\n9\n$ACADVER\n1\nAC1015\n9\n$DWGCODEPAGE\n3\nANSI_932\n"
        "0\nENDSEC\n0\nSECTION\n2\nTABLES\n0\nTABLE\n2\nLAYER\n0\nLAYER\n2\n";
    QStringEncoder sjis("Shift_JIS");
    bytes += QByteArray(sjis.encode(QStringLiteral("表示")));
    bytes += "\n70\n0\n62\n7\n6\nCONTINUOUS\n0\nLAYER\n2\nA\\U+5C4Bb\n70\n0\n62\n7\n6\nCONTINUOUS\n"
             "0\nENDTAB\n0\nENDSEC\n0\nEOF\n";
    const auto d = DxfReader::readBytes(bytes, QStringLiteral("old.dxf"));
    EXPECT_TRUE(d->findLayer(QStringLiteral("表示")));
    EXPECT_TRUE(d->findLayer(QStringLiteral("A屋b")));
    EXPECT_EQ(cadhost::dxf::DxfText::plainMText(QStringLiteral("{\\fArial|b1;Big}\\PNext\\~x")),
              QStringLiteral("Big\nNext x"));
}

TEST(DxfReadTest, DamagedFilesAreRefusedWithTheLine) {
    EXPECT_EQ(readError(QByteArray()),
              QStringLiteral("cannot open plan.dxf: line 1: the file is empty"));
    EXPECT_TRUE(readError("0\nSECTION\n2\nENTITIES\n0\nLINE\n8\n0\n10\nabc\n0\nENDSEC\n0\nEOF\n")
                    .startsWith(QStringLiteral("cannot open plan.dxf: line 10: number expected")));
    EXPECT_TRUE(readError("0\nSECTION\n2\nENTITIES\n0\nLINE\n8\n0\n10\n1.0\n")
                    .contains(QStringLiteral("truncated")));
    EXPECT_TRUE(
        readError("hello world\nthis is not\na drawing\n")
            .startsWith(QStringLiteral("cannot open plan.dxf: line 1: group code expected")));
    // A count dxflib would size an array from.
    EXPECT_TRUE(
        readError("0\nSECTION\n2\nENTITIES\n0\nLWPOLYLINE\n8\n0\n90\n2000000000\n10\n0\n20\n0\n"
                  "0\nENDSEC\n0\nEOF\n")
            .contains(QStringLiteral("implausible count")));
    EXPECT_TRUE(readError(QByteArray("0\nSECTION\n\0\0\0", 15)).contains(QStringLiteral("binary")));

    // Every prefix of a real file is refused or read, never a crash.
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("plan.dxf"));
    runPython(QString::fromUtf8(kEzdxfPlan), {path});
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    const QByteArray whole = f.readAll();
    for (qsizetype cut = 0; cut < whole.size(); cut += whole.size() / 97 + 1)
        EXPECT_FALSE(readError(whole.left(cut)).isEmpty()) << cut;
}

TEST(DxfReadTest, FailedOpenLeavesTheOpenDrawingAlone) {
    QTemporaryDir dir;
    const QString good = dir.filePath(QStringLiteral("good.dxf"));
    const QString bad = dir.filePath(QStringLiteral("bad.dxf"));
    runPython(QString::fromUtf8(kEzdxfPlan), {good});
    QFile b(bad);
    ASSERT_TRUE(b.open(QIODevice::WriteOnly));
    b.write("0\nSECTION\n2\nENTITIES\n0\nLINE\n");
    b.close();
    cadhost::CadApplication app;
    app.setDrawingStore(std::make_unique<cadhost::dxf::DxfStore>());
    Drawing* opened = app.open(good);
    const int layers = opened->layerCount();
    const std::size_t entities = opened->entities().size();
    try {
        app.open(bad);
        ADD_FAILURE() << "a truncated file opened";
    } catch (const platform::AutomationError& e) {
        EXPECT_TRUE(e.description().startsWith(QStringLiteral("cannot open bad.dxf: line ")));
    }
    EXPECT_EQ(app.documentCount(), 1);
    EXPECT_EQ(app.activeDocument(), opened);
    EXPECT_EQ(opened->layerCount(), layers);
    EXPECT_EQ(opened->entities().size(), entities);
    // Opening the same file again activates it instead of loading a copy.
    app.add();
    EXPECT_EQ(app.open(dir.path() + QStringLiteral("/./good.dxf")), opened);
    EXPECT_EQ(app.documentCount(), 2);
}

TEST(DxfReadTest, EmptyLayerNamesAndManyLayers) {
    QByteArray bytes = "0\nSECTION\n2\nTABLES\n0\nTABLE\n2\nLAYER\n"
                       "0\nLAYER\n2\n\n70\n0\n62\n7\n6\nCONTINUOUS\n";
    for (int i = 0; i < 10000; ++i)
        bytes += "0\nLAYER\n2\nL" + QByteArray::number(i) + "\n70\n0\n62\n" +
                 QByteArray::number(i % 255 + 1) + "\n6\nCONTINUOUS\n";
    bytes +=
        "0\nENDTAB\n0\nENDSEC\n0\nSECTION\n2\nENTITIES\n0\nLINE\n8\n\n10\n0\n20\n0\n11\n1\n21\n1\n"
        "0\nLINE\n8\nl9999\n10\n0\n20\n0\n11\n1\n21\n1\n0\nENDSEC\n0\nEOF\n";
    const auto d = DxfReader::readBytes(bytes, QStringLiteral("many.dxf"));
    EXPECT_EQ(d->layerCount(), 10001); // "0" plus 10,000; the nameless record is dropped
    EXPECT_EQ(d->layerName(10000), QStringLiteral("L9999"));
    EXPECT_EQ(d->entities()[0].layer, QStringLiteral("0")); // nameless entity layer -> "0"
    d->addSelectionSet(QStringLiteral("cSet"));
    d->selectAll(QStringLiteral("cSet"), {8}, {QStringLiteral("L9999")});
    EXPECT_EQ(d->selectionSetSize(QStringLiteral("cSet")), 1);
}

TEST(DxfReadTest, SelfReferencingBlockDoesNotRecurseForever) {
    const QByteArray bytes =
        "0\nSECTION\n2\nBLOCKS\n0\nBLOCK\n8\n0\n2\nLOOP\n70\n0\n10\n0\n20\n0\n30\n0\n3\nLOOP\n"
        "0\nLINE\n8\n0\n10\n0\n20\n0\n11\n1\n21\n0\n"
        "0\nINSERT\n8\n0\n2\nLOOP\n10\n5\n20\n0\n0\nENDBLK\n0\nENDSEC\n"
        "0\nSECTION\n2\nENTITIES\n0\nINSERT\n8\nA\n2\nLOOP\n10\n0\n20\n0\n0\nENDSEC\n0\nEOF\n";
    const auto d = DxfReader::readBytes(bytes, QStringLiteral("loop.dxf"));
    ASSERT_EQ(d->entities().size(), 1u);
    EXPECT_EQ(d->entities()[0].primitives.size(), 1);
    EXPECT_EQ(d->entities()[0].primitives[0].layer, QStringLiteral("A"));
}

TEST(DxfWriteTest, EzdxfAndWeReadBackTheSameLayersStatesAndCounts) {
    QTemporaryDir dir;
    const QString source = dir.filePath(QStringLiteral("source.dxf"));
    const QString saved = dir.filePath(QStringLiteral("saved.dxf"));
    runPython(QString::fromUtf8(kEzdxfPlan), {source});
    auto d = DxfReader::readFile(source);
    d->setLayerProperty(QStringLiteral("WALL"), QStringLiteral("Lineweight"), 50);
    d->setLayerProperty(QStringLiteral("WALL"), QStringLiteral("Plottable"), false);
    DxfWriter::writeFile(*d, saved);

    EXPECT_EQ(runPython(QString::fromUtf8(kSummary), {saved}), hostSummary(*d));
    const auto back = DxfReader::readFile(saved);
    EXPECT_EQ(hostSummary(*back), hostSummary(*d));
    EXPECT_EQ(back->entities().size(), d->entities().size());
    EXPECT_EQ(back->getLayerProperty(QStringLiteral("WALL"), QStringLiteral("Lineweight")),
              QVariant(50));
    EXPECT_EQ(back->getLayerProperty(QStringLiteral("WALL"), QStringLiteral("Plottable")),
              QVariant(false));
    EXPECT_EQ(back->linetypeNames(), d->linetypeNames());
}

TEST(DxfWriteTest, FailedSaveKeepsThePreviousFile) {
    QTemporaryDir dir;
    Drawing d;
    d.addLayer(QStringLiteral("A"));
    const QString path = dir.filePath(QStringLiteral("keep.dxf"));
    DxfWriter::writeFile(d, path);
    const QString inMissingFolder = dir.filePath(QStringLiteral("no/such/folder/x.dxf"));
    EXPECT_THROW(DxfWriter::writeFile(d, inMissingFolder), platform::AutomationError);
    EXPECT_TRUE(DxfReader::readFile(path)->findLayer(QStringLiteral("A")));
}

// Lines, circles, arcs and lightweight polylines are read apart from the other types;
// both kinds must still come out in file order, in the right block, with their
// attributes, and a damaged file after many of them must still be refused.
TEST(DxfReadTest, CommonEntitiesKeepOrderBlocksAndAttributes) {
    const QByteArray bytes =
        "0\nSECTION\n2\nBLOCKS\n0\nBLOCK\n8\n0\n2\nBK\n70\n0\n10\n0\n20\n0\n"
        "0\nCIRCLE\n8\n0\n62\n0\n10\n0\n20\n0\n40\n1\n"
        "0\nPOINT\n8\nPT\n10\n2\n20\n0\n"
        "0\nLINE\n8\nIN\n10\n0\n20\n0\n11\n1\n21\n0\n0\nENDBLK\n0\nENDSEC\n"
        "0\nSECTION\n2\nENTITIES\n"
        "0\nLINE\n8\n sp \n62\n3\n10\n1\n20\n2\n11\n3\n21\n4\n"
        "0\nTEXT\n8\nT\n10\n1\n20\n2\n40\n1\n1\n  Room  \n"
        "0\nARC\n8\nA\n230\n-1\n10\n1\n20\n0\n40\n1\n50\n0\n51\n90\n"
        "0\nINSERT\n8\nR\n62\n5\n2\nBK\n10\n10\n20\n0\n"
        "0\nLINE\n8\nPAPER\n67\n1\n10\n0\n20\n0\n11\n1\n21\n1\n"
        // no vertex count: every point is taken
        "0\nLWPOLYLINE\n8\nQ\n70\n1\n10\n0\n20\n0\n10\n4\n20\n0\n10\n4\n20\n3\n"
        // more points than the count: the last one takes the final place, as dxflib does
        "0\nLWPOLYLINE\n8\nP\n90\n2\n10\n0\n20\n0\n10\n1\n20\n1\n10\n5\n20\n5\n"
        "0\nENDSEC\n0\nEOF\n";
    const auto d = DxfReader::readBytes(bytes, QStringLiteral("mix.dxf"));
    const auto& es = d->entities();
    ASSERT_EQ(es.size(), 6u); // the paper-space line is not in the model
    QStringList types;
    for (const cadhost::Entity& e : es)
        types << e.type;
    EXPECT_EQ(types.join(QLatin1Char(' ')),
              QStringLiteral("LINE TEXT ARC INSERT LWPOLYLINE LWPOLYLINE"));

    EXPECT_EQ(es[0].layer, QStringLiteral(" sp ")); // dxflib keeps spaces in values
    EXPECT_EQ(es[0].color, 3);
    ASSERT_EQ(es[0].primitives.size(), 1);
    EXPECT_EQ(es[0].primitives[0].points, (QVector<QPointF>{{1, 2}, {3, 4}}));
    EXPECT_TRUE(d->findLayer(QStringLiteral(" sp ")));
    EXPECT_EQ(es[1].primitives[0].text, QStringLiteral("  Room  "));

    // Extrusion pointing down mirrors x: the quarter arc round (1,0) runs from (-2,0) to (-1,1).
    const QVector<QPointF>& arc = es[2].primitives[0].points;
    ASSERT_GE(arc.size(), 2);
    EXPECT_NEAR(arc.front().x(), -2, 1e-9);
    EXPECT_NEAR(arc.back().x(), -1, 1e-9);
    EXPECT_NEAR(arc.back().y(), 1, 1e-9);

    // The block holds the circle, the point and the line, in that order, at (10,0).
    const cadhost::Entity& ins = es[3];
    ASSERT_EQ(ins.primitives.size(), 3);
    EXPECT_EQ(ins.primitives[0].layer, QStringLiteral("R")); // layer "0" takes the reference's
    EXPECT_EQ(ins.primitives[0].color, 5);                   // ByBlock takes its colour
    EXPECT_TRUE(ins.primitives[0].closed);
    EXPECT_EQ(ins.primitives[1].layer, QStringLiteral("PT"));
    EXPECT_EQ(ins.primitives[1].points, QVector<QPointF>{QPointF(12, 0)});
    EXPECT_EQ(ins.primitives[2].layer, QStringLiteral("IN"));
    EXPECT_EQ(ins.primitives[2].points, (QVector<QPointF>{{10, 0}, {11, 0}}));

    EXPECT_TRUE(es[4].primitives[0].closed);
    EXPECT_EQ(es[4].primitives[0].points, (QVector<QPointF>{{0, 0}, {4, 0}, {4, 3}}));
    EXPECT_EQ(es[5].primitives[0].points, (QVector<QPointF>{{0, 0}, {5, 5}}));

    QByteArray many = "0\nSECTION\n2\nENTITIES\n";
    for (int i = 0; i < 1000; ++i)
        many += "0\nCIRCLE\n8\nC\n10\n0\n20\n0\n40\n1\n";
    const int badLine = int(many.count('\n')) + 8;
    many += "0\nLINE\n8\nC\n10\n0\n20\nx\n0\nENDSEC\n0\nEOF\n";
    EXPECT_TRUE(readError(many).startsWith(
        QStringLiteral("cannot open plan.dxf: line %1: number expected").arg(badLine)))
        << readError(many).toStdString();
}

// Old drawings keep their polylines as POLYLINE with VERTEX records and name the layer
// being drawn on in the header; both must survive the trip into the host.
TEST(DxfReadTest, OldStylePolylinesKeepTheirVerticesAndTheHeaderNamesTheCurrentLayer) {
    const QByteArray bytes =
        "0\nSECTION\n2\nHEADER\n9\n$ACADVER\n1\nAC1009\n9\n$CLAYER\n8\nwalls\n0\nENDSEC\n"
        "0\nSECTION\n2\nTABLES\n0\nTABLE\n2\nLAYER\n70\n2\n"
        "0\nLAYER\n2\n0\n70\n0\n62\n7\n6\nCONTINUOUS\n"
        "0\nLAYER\n2\nWALLS\n70\n0\n62\n1\n6\nCONTINUOUS\n0\nENDTAB\n0\nENDSEC\n"
        "0\nSECTION\n2\nENTITIES\n"
        "0\nPOLYLINE\n8\nWALLS\n66\n1\n70\n1\n10\n0\n20\n0\n"
        "0\nVERTEX\n8\nWALLS\n10\n0\n20\n0\n"
        "0\nVERTEX\n8\nWALLS\n10\n4\n20\n0\n"
        "0\nVERTEX\n8\nWALLS\n10\n4\n20\n3\n"
        "0\nSEQEND\n8\nWALLS\n"
        "0\nLINE\n8\n0\n10\n0\n20\n0\n11\n1\n21\n1\n"
        "0\nENDSEC\n0\nEOF\n";
    const auto d = DxfReader::readBytes(bytes, QStringLiteral("old.dxf"));
    const auto& es = d->entities();
    ASSERT_EQ(es.size(), 2u);
    EXPECT_EQ(es[0].type, QStringLiteral("POLYLINE"));
    ASSERT_EQ(es[0].primitives.size(), 1);
    EXPECT_EQ(es[0].primitives[0].points, (QVector<QPointF>{{0, 0}, {4, 0}, {4, 3}}));
    EXPECT_TRUE(es[0].primitives[0].closed);
    EXPECT_EQ(es[1].type, QStringLiteral("LINE"));
    // The table's spelling wins, as the CAD reports the layer object's own name.
    EXPECT_EQ(d->getActiveLayer(), QStringLiteral("WALLS"));
}

TEST(DxfReadTest, AnUnusableCurrentLayerInTheHeaderLeavesLayerZeroCurrent) {
    for (const char* header : {"nosuch", "frozen"}) {
        const QByteArray bytes =
            QByteArray("0\nSECTION\n2\nHEADER\n9\n$CLAYER\n8\n") + header +
            "\n0\nENDSEC\n0\nSECTION\n2\nTABLES\n0\nTABLE\n2\nLAYER\n70\n1\n"
            "0\nLAYER\n2\nfrozen\n70\n1\n62\n1\n6\nCONTINUOUS\n0\nENDTAB\n0\nENDSEC\n"
            "0\nSECTION\n2\nENTITIES\n0\nENDSEC\n0\nEOF\n";
        const auto d = DxfReader::readBytes(bytes, QStringLiteral("h.dxf"));
        EXPECT_EQ(d->getActiveLayer(), QStringLiteral("0")) << header;
    }
}

// A name a user could not give a layer is still the layer's name in a drawing read from a
// file: the layer, and every object on it, stays as the file has it.
TEST(DxfReadTest, LayersKeepNamesAUserCouldNotTypeIn) {
    const QStringList special = {"a<b", "c>d", "e/f", "g\\h", "i\"j", "k:l", "m;n",
                                 "o?p", "q*r", "s|t", "u,v",  "w=x",  "y`z"};
    QByteArray bytes = "0\nSECTION\n2\nTABLES\n0\nTABLE\n2\nLAYER\n";
    for (const QString& name : special)
        bytes += "0\nLAYER\n2\n" + name.toUtf8() + "\n70\n0\n62\n3\n6\nCONTINUOUS\n";
    bytes += "0\nENDTAB\n0\nENDSEC\n0\nSECTION\n2\nENTITIES\n";
    for (const QString& name : special)
        bytes += "0\nLINE\n8\n" + name.toUtf8() + "\n10\n0\n20\n0\n11\n1\n21\n1\n";
    // On a layer the table lacks: the layer is made under that name.
    bytes += "0\nCIRCLE\n8\nnot<listed>\n10\n0\n20\n0\n40\n1\n0\nENDSEC\n0\nEOF\n";
    const auto d = DxfReader::readBytes(bytes, QStringLiteral("special.dxf"));

    EXPECT_EQ(d->layerCount(), 1 + special.size() + 1);
    for (const QString& name : special) {
        ASSERT_TRUE(d->findLayer(name)) << name.toStdString();
        EXPECT_EQ(d->findLayer(name)->color, 3);
        EXPECT_EQ(d->entityCountOnLayer(name), 1) << name.toStdString();
    }
    EXPECT_EQ(d->entityCountOnLayer(QStringLiteral("not<listed>")), 1);
    EXPECT_EQ(d->entityCountOnLayer(QStringLiteral("0")), 0);
    d->addSelectionSet(QStringLiteral("cSet"));
    d->selectAll(QStringLiteral("cSet"), {8}, {QStringLiteral("Q*R")});
    EXPECT_EQ(d->selectionSetSize(QStringLiteral("cSet")), 1);
    // A user still cannot make such a layer, and gets the CAD's error for trying.
    try {
        d->addLayer(QStringLiteral("new|layer"));
        ADD_FAILURE() << "an invalid name was added";
    } catch (const platform::AutomationError& e) {
        EXPECT_EQ(e.number(), caderr::InvalidArgument);
    }
    EXPECT_FALSE(d->findLayer(QStringLiteral("new|layer")));
}
