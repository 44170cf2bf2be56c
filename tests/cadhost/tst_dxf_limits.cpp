// Drawings made to hurt the host: numbers no curve can have, references that multiply
// into billions of primitives, and names that lead to devices and pipes. Each must fail
// or open within moments, and leave the host and its other drawings as they were.
#include "cadhost/dxf/DxfReader.h"
#include "cadhost/dxf/DxfStore.h"
#include "cadhost/dxf/DxfWriter.h"
#include "cadhost/model/CadApplication.h"
#include "cadhost/model/CadErrors.h"
#include "cadhost/model/Drawing.h"
#include "platform/VbError.h"

#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <future>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

using cadhost::Drawing;
using cadhost::dxf::DxfReader;
using cadhost::dxf::DxfReadLimits;

namespace {

// How long any of these may take; they take milliseconds when the host copes.
constexpr auto kPatience = std::chrono::seconds(10);

// Runs fn on a thread of its own; a run that does not end in time cannot be stopped, so
// the test program reports it and ends rather than wait for ever.
template <typename Fn> auto within(const char* what, Fn fn) {
    auto future = std::async(std::launch::async, std::move(fn));
    if (future.wait_for(kPatience) != std::future_status::ready) {
        std::fprintf(stderr, "FAILED: %s did not end within %lld s\n", what,
                     static_cast<long long>(kPatience.count()));
        std::fflush(stderr);
        std::_Exit(1);
    }
    return future.get();
}

// A drawing failing to open: the description of the error, empty when it opened.
struct Outcome {
    std::unique_ptr<Drawing> drawing;
    qint32 number = 0;
    QString error;
};

Outcome readBytes(const QByteArray& bytes) {
    return within("reading the drawing", [bytes] {
        Outcome out;
        try {
            out.drawing = DxfReader::readBytes(bytes, QStringLiteral("hostile.dxf"));
        } catch (const platform::AutomationError& e) {
            out.number = e.number();
            out.error = e.description();
        }
        return out;
    });
}

QByteArray entities(const QByteArray& body, const QByteArray& blocks = {}) {
    QByteArray dxf;
    if (!blocks.isEmpty())
        dxf += "0\nSECTION\n2\nBLOCKS\n" + blocks + "0\nENDSEC\n";
    return dxf + "0\nSECTION\n2\nENTITIES\n" + body + "0\nENDSEC\n0\nEOF\n";
}

QByteArray number(double value) {
    return QByteArray::number(value, 'g', 17);
}

QByteArray arc(double start, double end) {
    return "0\nARC\n8\nA\n10\n0\n20\n0\n30\n0\n40\n1\n50\n" + number(start) + "\n51\n" +
           number(end) + "\n";
}

QByteArray ellipse(double start, double end) {
    return "0\nELLIPSE\n8\nA\n10\n0\n20\n0\n30\n0\n11\n2\n21\n0\n31\n0\n40\n0.5\n41\n" +
           number(start) + "\n42\n" + number(end) + "\n";
}

// A solid hatch bounded by one arc edge.
QByteArray hatchWithArc(double start, double end) {
    return "0\nHATCH\n8\nA\n10\n0\n20\n0\n30\n0\n2\nSOLID\n70\n1\n71\n0\n91\n1\n92\n1\n93\n1\n"
           "72\n2\n10\n0\n20\n0\n40\n1\n50\n" +
           number(start) + "\n51\n" + number(end) + "\n73\n1\n97\n0\n75\n0\n76\n1\n98\n0\n";
}

void expectDrawnSanely(const Drawing& d, qsizetype entityCount) {
    ASSERT_EQ(qsizetype(d.entities().size()), entityCount);
    for (const cadhost::Entity& e : d.entities()) {
        for (const cadhost::Primitive& p : e.primitives) {
            // A curve is at most one turn at five degrees a segment.
            EXPECT_LE(p.points.size(), 722) << e.type.toStdString();
            for (const QPointF& pt : p.points) {
                EXPECT_TRUE(std::isfinite(pt.x()) && std::isfinite(pt.y())) << e.type.toStdString();
            }
        }
    }
}

// A reference to the block name, placed rows x cols times one unit apart.
QByteArray insert(const QByteArray& name, int rows = 1, int cols = 1) {
    return "0\nINSERT\n8\n0\n2\n" + name + "\n10\n0\n20\n0\n30\n0\n70\n" +
           QByteArray::number(cols) + "\n71\n" + QByteArray::number(rows) + "\n44\n1\n45\n1\n";
}

// A block named name holding one line, or, when inner is given, an array of rows x cols
// references to inner.
QByteArray block(const QByteArray& name, const QByteArray& inner = {}, int rows = 1, int cols = 1) {
    QByteArray b = "0\nBLOCK\n8\n0\n2\n" + name + "\n70\n0\n10\n0\n20\n0\n30\n0\n3\n" + name + "\n";
    if (inner.isEmpty())
        b += "0\nLINE\n8\n0\n10\n0\n20\n0\n11\n1\n21\n0\n";
    else
        b += insert(inner, rows, cols);
    return b + "0\nENDBLK\n";
}

// levels blocks L1..Ln, each holding `fanOut` references to the one below, L1 a line.
QByteArray nestedBlocks(int levels, int fanOut) {
    QByteArray blocks = block("L1");
    for (int level = 2; level <= levels; ++level) {
        const QByteArray name = "L" + QByteArray::number(level);
        QByteArray b =
            "0\nBLOCK\n8\n0\n2\n" + name + "\n70\n0\n10\n0\n20\n0\n30\n0\n3\n" + name + "\n";
        for (int i = 0; i < fanOut; ++i)
            b += insert("L" + QByteArray::number(level - 1));
        blocks += b + "0\nENDBLK\n";
    }
    return blocks;
}

} // namespace

TEST(DxfHostileTest, CurvesWithHugeAnglesOpenPromptly) {
    // Angles so large that adding a turn no longer changes them; in degrees for arcs, in
    // radians for ellipses and hatch edges.
    QByteArray body;
    int count = 0;
    for (const auto& [start, end] : std::vector<std::pair<double, double>>{
             {1e17, 0}, {0, 1e17}, {1e308, -1e308}, {-1e308, 1e300}, {30, 1e200}}) {
        body += arc(start, end) + ellipse(start, end) + hatchWithArc(start, end);
        count += 3;
    }
    const Outcome out = readBytes(entities(body));
    ASSERT_TRUE(out.drawing) << out.error.toStdString();
    expectDrawnSanely(*out.drawing, count);
    for (const cadhost::Entity& e : out.drawing->entities())
        EXPECT_EQ(e.primitives.size(), 1) << e.type.toStdString();
}

TEST(DxfHostileTest, OrdinaryAnglesKeepTheirSweep) {
    // 350 to 10 degrees wraps through zero: 20 degrees, four segments of five.
    const Outcome out = readBytes(entities(arc(350, 10) + arc(-90, 90) + arc(0, 720)));
    ASSERT_TRUE(out.drawing) << out.error.toStdString();
    expectDrawnSanely(*out.drawing, 3);
    const auto& entities = out.drawing->entities();
    EXPECT_EQ(entities[0].primitives[0].points.size(), 20 / 5 + 1);
    EXPECT_NEAR(entities[0].primitives[0].points.first().x(), std::cos(350 * M_PI / 180), 1e-9);
    EXPECT_NEAR(entities[0].primitives[0].points.last().y(), std::sin(10 * M_PI / 180), 1e-9);
    EXPECT_EQ(entities[1].primitives[0].points.size(), 180 / 5 + 1);
    EXPECT_NEAR(entities[1].primitives[0].points.last().y(), 1.0, 1e-9);
    // Equal ends once reduced: the whole turn.
    EXPECT_EQ(entities[2].primitives[0].points.size(), 360 / 5 + 1);
}

TEST(DxfHostileTest, CurvesWithNumbersThatAreNoNumbersAreRefused) {
    // Infinity (1e999) and NaN have no place in a drawing: the file is damaged, and is
    // refused before any curve is made of them.
    for (const QByteArray& bad : {QByteArray("1e999"), QByteArray("-1e999"), QByteArray("nan")}) {
        for (const QByteArray& body :
             {"0\nARC\n8\nA\n10\n0\n20\n0\n30\n0\n40\n1\n50\n" + bad + "\n51\n0\n",
              "0\nELLIPSE\n8\nA\n10\n0\n20\n0\n30\n0\n11\n2\n21\n0\n31\n0\n40\n0.5\n41\n" + bad +
                  "\n42\n1\n",
              "0\nCIRCLE\n8\nA\n10\n" + bad + "\n20\n0\n30\n0\n40\n1\n"}) {
            const Outcome out = readBytes(entities(body));
            EXPECT_FALSE(out.drawing) << body.toStdString();
            EXPECT_EQ(out.number, caderr::Failed) << body.toStdString();
        }
    }
}

TEST(DxfHostileTest, SplinesOfAbsurdDegreeFallBackToTheirControlPoints) {
    // Degree 1,500 with a knot vector to match: de Boor would cost two million steps for
    // each of 2,000 points, seconds a spline; the control polygon is drawn instead.
    const int degree = 1500, controls = 2000, splines = 8;
    QByteArray one = "0\nSPLINE\n8\nA\n70\n8\n71\n" + QByteArray::number(degree) + "\n72\n" +
                     QByteArray::number(controls + degree + 1) + "\n73\n" +
                     QByteArray::number(controls) + "\n74\n0\n";
    for (int i = 0; i < controls + degree + 1; ++i)
        one += "40\n" + QByteArray::number(i) + "\n";
    for (int i = 0; i < controls; ++i)
        one += "10\n" + QByteArray::number(i) + "\n20\n0\n30\n0\n";
    const Outcome out = readBytes(entities(one.repeated(splines)));
    ASSERT_TRUE(out.drawing) << out.error.toStdString();
    ASSERT_EQ(out.drawing->entities().size(), std::size_t(splines));
    for (const cadhost::Entity& e : out.drawing->entities()) {
        ASSERT_EQ(e.primitives.size(), 1);
        EXPECT_EQ(e.primitives[0].points.size(), controls);
    }
}

TEST(DxfHostileTest, NestedReferencesBeyondTheBoundAreRefused) {
    // Nine levels of ten references: a billion lines from a few kilobytes.
    const QByteArray nested = entities(insert("L9"), nestedBlocks(9, 10));
    EXPECT_LT(nested.size(), 8000);
    Outcome out = readBytes(nested);
    EXPECT_FALSE(out.drawing);
    EXPECT_EQ(out.number, caderr::Failed);
    EXPECT_TRUE(out.error.contains(QStringLiteral("expands to more than")))
        << out.error.toStdString();

    // An array of a thousand by a thousand arrays of a thousand by a thousand lines.
    out = readBytes(entities(insert("OUTER", 1000, 1000), block("INNER", "LINE1", 1000, 1000) +
                                                              block("LINE1") +
                                                              block("OUTER", "INNER", 1, 1)));
    EXPECT_FALSE(out.drawing);
    EXPECT_EQ(out.number, caderr::Failed);

    // Arrays of a block with nothing in it make nothing, but walking them would never end.
    out = readBytes(
        entities(insert("A", 1000, 1000),
                 block("A", "B", 1000, 1000) + block("B", "C", 1000, 1000) +
                     "0\nBLOCK\n8\n0\n2\nC\n70\n0\n10\n0\n20\n0\n30\n0\n3\nC\n0\nENDBLK\n"));
    EXPECT_FALSE(out.drawing);
    EXPECT_EQ(out.number, caderr::Failed);
}

TEST(DxfHostileTest, NestedReferencesWithinTheBoundExpandInFull) {
    // Four levels of ten: every one of the ten thousand lines is made.
    const Outcome out = readBytes(entities(insert("L4"), nestedBlocks(4, 10)));
    ASSERT_TRUE(out.drawing) << out.error.toStdString();
    ASSERT_EQ(out.drawing->entities().size(), 1u);
    EXPECT_EQ(out.drawing->entities()[0].primitives.size(), 10 * 10 * 10);

    // A bound as tight as the drawing: the same file opens at exactly its size and is
    // refused one primitive short of it (the reference's own copies count too).
    const QByteArray bytes = entities(insert("L2"), nestedBlocks(2, 10));
    DxfReadLimits limits;
    limits.primitives = 1 + 10 + 10; // one copy of L2, ten copies of L1, ten lines
    EXPECT_NO_THROW(DxfReader::readBytes(bytes, QStringLiteral("tight.dxf"), limits));
    limits.primitives -= 1;
    EXPECT_THROW(DxfReader::readBytes(bytes, QStringLiteral("tight.dxf"), limits),
                 platform::AutomationError);
    limits = DxfReadLimits();
    limits.points = 10 * 2 - 1; // ten lines of two points
    EXPECT_THROW(DxfReader::readBytes(bytes, QStringLiteral("tight.dxf"), limits),
                 platform::AutomationError);
}

TEST(DxfHostileTest, ARefusedDrawingLeavesTheHostAndItsDrawingsAlone) {
    QTemporaryDir dir;
    const QString good = dir.filePath(QStringLiteral("good.dxf"));
    const QString bomb = dir.filePath(QStringLiteral("bomb.dxf"));
    auto write = [](const QString& path, const QByteArray& bytes) {
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(bytes);
    };
    write(good, entities(arc(0, 90)));
    write(bomb, entities(insert("L9"), nestedBlocks(9, 10)));

    cadhost::CadApplication app;
    app.setDrawingStore(std::make_unique<cadhost::dxf::DxfStore>());
    Drawing* first = app.open(good);
    within("opening the bomb", [&] {
        try {
            app.open(bomb);
            ADD_FAILURE() << "the bomb opened";
        } catch (const platform::AutomationError& e) {
            EXPECT_EQ(e.number(), caderr::Failed);
        }
        return 0;
    });
    EXPECT_EQ(app.documentCount(), 1);
    EXPECT_EQ(app.activeDocument(), first);
    EXPECT_EQ(first->entities().size(), 1u);
}

TEST(DxfHostileTest, OnlyRegularFilesAreOpened) {
    QTemporaryDir dir;
    const QString fifo = dir.filePath(QStringLiteral("pipe.dxf"));
    ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    const QString link = dir.filePath(QStringLiteral("zero.dxf"));
    ASSERT_TRUE(QFile::link(QStringLiteral("/dev/zero"), link));

    cadhost::CadApplication app;
    app.setDrawingStore(std::make_unique<cadhost::dxf::DxfStore>());
    app.add();
    for (const QString& path : {QStringLiteral("/dev/zero"), fifo, link}) {
        const qint32 number = within("opening a device or pipe", [&] {
            try {
                app.open(path);
            } catch (const platform::AutomationError& e) {
                return e.number();
            }
            return qint32(0);
        });
        EXPECT_EQ(number, caderr::Failed) << path.toStdString();
        EXPECT_EQ(app.documentCount(), 1) << path.toStdString();
    }
}

TEST(DxfHostileTest, FilesOverTheSizeBoundAreRefusedUnread) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("big.dxf"));
    {
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(entities(arc(0, 90)));
    }
    DxfReadLimits limits;
    limits.fileBytes = QFileInfo(path).size();
    EXPECT_NO_THROW(DxfReader::readFile(path, limits));
    limits.fileBytes -= 1;
    EXPECT_THROW(DxfReader::readFile(path, limits), platform::AutomationError);
}

// A layer name of a megabyte made every call naming the layer slow. The drawing holds
// names cut to a CAD's 255 characters, says so, and keeps layers apart that the cut would
// make one; a save leaves the file's own names alone and follows a rename.
TEST(DxfHostileTest, LongLayerNamesAreCutToTheCadsLengthWithoutMerging) {
    const QByteArray huge(1 << 20, 'B');
    const QByteArray a300(300, 'A'), a255(255, 'A');
    const QByteArray c1 = QByteArray(299, 'C') + "1", c2 = QByteArray(299, 'C') + "2";
    const auto line = [](const QByteArray& layer) {
        return "0\nLINE\n8\n" + layer + "\n10\n0\n20\n0\n11\n1\n21\n1\n";
    };
    const QByteArray tables = "0\nSECTION\n2\nTABLES\n0\nTABLE\n2\nLAYER\n70\n2\n0\nLAYER\n2\n" +
                              a300 + "\n70\n0\n62\n1\n6\nCONTINUOUS\n0\nLAYER\n2\n" + a255 +
                              "\n70\n0\n62\n2\n6\nCONTINUOUS\n0\nENDTAB\n0\nENDSEC\n";
    // Lines are read past dxflib, texts through it: both name the same layer.
    const QByteArray body = line(huge) + line(huge) + "0\nTEXT\n8\n" + huge +
                            "\n10\n0\n20\n0\n40\n1\n1\nx\n" + line(c1) + line(c2) + line(a300);
    const Outcome out = readBytes(tables + entities(body));
    ASSERT_TRUE(out.drawing) << out.error.toStdString();
    const Drawing& d = *out.drawing;
    QStringList names;
    for (int i = 0; i < d.layerCount(); ++i)
        names << d.layerName(i);
    const auto s = [](const QByteArray& b) { return QString::fromLatin1(b); };
    EXPECT_EQ(names, (QStringList{"0", s(a300.left(253)) + "~2", s(a255), s(huge.left(255)),
                                  s(c1.left(255)), s(c1.left(253)) + "~2"}));
    EXPECT_EQ(d.entityCountOnLayer(s(huge.left(255))), 3);
    EXPECT_EQ(d.entityCountOnLayer(s(c1.left(253)) + "~2"), 1);
    EXPECT_EQ(d.entityCountOnLayer(s(a300.left(253)) + "~2"), 1);
    EXPECT_EQ(d.openWarnings().size(), 4);
    EXPECT_TRUE(d.openWarnings().value(0).contains("cut"))
        << d.openWarnings().value(0).toStdString();

    out.drawing->setLayerProperty(s(huge.left(255)), "Name", "BIG");
    const QByteArray saved = cadhost::dxf::DxfWriter::toBytes(d);
    EXPECT_TRUE(saved.contains("\n" + a300 + "\n")) << "the file's own name is kept";
    const Outcome back = readBytes(saved);
    ASSERT_TRUE(back.drawing) << back.error.toStdString();
    EXPECT_EQ(back.drawing->entityCountOnLayer("BIG"), 3);
    EXPECT_EQ(back.drawing->layerCount(), d.layerCount());
    EXPECT_EQ(back.drawing->entityCountOnLayer(s(c1.left(253)) + "~2"), 1);
}

// A file of a gigabyte that is no drawing is refused from its first bytes, unread.
TEST(DxfHostileTest, AFileThatIsNoDrawingIsToldFromItsFirstBytes) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("archive.dxf"));
    {
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("PK\x03\x04 not a drawing\n");
        ASSERT_TRUE(f.resize(qint64(256) << 20)); // sparse: costs the disk nothing
    }
    const QString error = within("refusing a large file", [&] {
        try {
            DxfReader::readFile(path);
        } catch (const platform::AutomationError& e) {
            return e.description();
        }
        return QString();
    });
    EXPECT_EQ(error, QStringLiteral("cannot open archive.dxf: not a DXF drawing"));
}

// Arrays open as large as they are, under the primitive bound; references nested deeper
// than the reader follows are left out and the drawing's user told so.
TEST(DxfHostileTest, ArraysOpenWholeAndNestingTooDeepIsReported) {
    Outcome out = readBytes(entities(insert("ONE", 3, 1500), block("ONE")));
    ASSERT_TRUE(out.drawing) << out.error.toStdString();
    EXPECT_EQ(out.drawing->entities()[0].primitives.size(), 3 * 1500);
    EXPECT_TRUE(out.drawing->openWarnings().isEmpty());

    out = readBytes(entities(insert("L17"), nestedBlocks(17, 1)));
    ASSERT_TRUE(out.drawing) << out.error.toStdString();
    EXPECT_EQ(out.drawing->entities()[0].primitives.size(), 1);
    EXPECT_TRUE(out.drawing->openWarnings().isEmpty());
    out = readBytes(entities(insert("L18"), nestedBlocks(18, 1)));
    ASSERT_TRUE(out.drawing) << out.error.toStdString();
    EXPECT_EQ(out.drawing->entities()[0].primitives.size(), 0);
    ASSERT_EQ(out.drawing->openWarnings().size(), 1);
    EXPECT_TRUE(out.drawing->openWarnings()[0].contains("nested deeper than 16"))
        << out.drawing->openWarnings()[0].toStdString();
}
