// The drawing model's CAD rules: what the viewer relies on when it switches layers and
// counts objects.
#include "ErrorNumber.h"
#include "cadhost/model/CadApplication.h"
#include "cadhost/model/CadErrors.h"
#include "cadhost/model/Drawing.h"
#include "platform/VbError.h"

#include <gtest/gtest.h>

using cadhost::Drawing;
using cadhost::Entity;
using cadhost::Primitive;
using platform::AutomationError;

namespace {

using korvel::test::errorOf;

Entity lineOn(const QString& layer, const QString& type = QStringLiteral("LINE")) {
    Entity e;
    e.type = type;
    e.layer = layer;
    e.primitives.append(Primitive::polyline(layer, 256, {QPointF(0, 0), QPointF(10, 5)}));
    return e;
}

class DrawingTest : public ::testing::Test {
protected:
    void SetUp() override {
        d.addLayer(QStringLiteral("Wall"));
        d.addLayer(QStringLiteral("Door"));
        d.addLayer(QStringLiteral("Grid"));
        for (int i = 0; i < 3; ++i)
            d.addEntity(lineOn(QStringLiteral("Wall")));
        d.addEntity(lineOn(QStringLiteral("WALL"), QStringLiteral("CIRCLE")));
        d.addEntity(lineOn(QStringLiteral("Door")));
    }
    Drawing d;
};

} // namespace

TEST_F(DrawingTest, NewDrawingHasLayerZeroAndBuiltInLinetypes) {
    Drawing fresh;
    EXPECT_EQ(fresh.name(), QStringLiteral("Drawing1.dxf"));
    EXPECT_TRUE(fresh.fullName().isEmpty());
    ASSERT_EQ(fresh.layerCount(), 1);
    EXPECT_EQ(fresh.layerName(0), QStringLiteral("0"));
    EXPECT_EQ(fresh.getActiveLayer(), QStringLiteral("0"));
    EXPECT_EQ(fresh.linetypeNames(),
              QStringList({QStringLiteral("ByBlock"), QStringLiteral("ByLayer"),
                           QStringLiteral("Continuous")}));
    EXPECT_TRUE(fresh.extents().isNull());
}

TEST_F(DrawingTest, LayersKeepTheirOrderAndAnswerToAnyCase) {
    EXPECT_EQ(d.layerCount(), 4);
    EXPECT_EQ(d.layerName(1), QStringLiteral("Wall"));
    EXPECT_EQ(d.layerName(3), QStringLiteral("Grid"));
    EXPECT_EQ(d.addLayer(QStringLiteral("wALL")), QStringLiteral("Wall")); // no duplicate
    EXPECT_EQ(d.layerCount(), 4);
    EXPECT_EQ(d.getLayerProperty(QStringLiteral("GRID"), QStringLiteral("name")).toString(),
              QStringLiteral("Grid"));
    EXPECT_EQ(errorOf([&] { d.layerName(4); }), caderr::KeyNotFound);
    EXPECT_EQ(errorOf([&] { d.layerName(-1); }), caderr::KeyNotFound);
}

TEST_F(DrawingTest, PropertiesReadAndWriteWithTheirTypes) {
    const QString wall = QStringLiteral("wall");
    d.setLayerProperty(wall, QStringLiteral("LayerOn"), false);
    d.setLayerProperty(wall, QStringLiteral("Lock"), true);
    d.setLayerProperty(wall, QStringLiteral("Color"), 3);
    d.setLayerProperty(wall, QStringLiteral("Lineweight"), 25);
    EXPECT_EQ(d.getLayerProperty(wall, QStringLiteral("LayerOn")), QVariant(false));
    EXPECT_EQ(d.getLayerProperty(wall, QStringLiteral("Lock")), QVariant(true));
    EXPECT_EQ(d.getLayerProperty(wall, QStringLiteral("Color")), QVariant(3));
    EXPECT_EQ(d.getLayerProperty(wall, QStringLiteral("Lineweight")), QVariant(25));
    EXPECT_EQ(d.getLayerProperty(wall, QStringLiteral("Plottable")), QVariant(true));
    EXPECT_EQ(d.getLayerProperty(wall, QStringLiteral("ViewportDefault")), QVariant(false));
    EXPECT_EQ(d.getLayerProperty(wall, QStringLiteral("PlotStyleName")).typeId(),
              QMetaType::QString);

    // "False" as text must not become True: the write is refused as a type mismatch.
    EXPECT_NE(errorOf([&] {
                  d.setLayerProperty(wall, QStringLiteral("LayerOn"), QStringLiteral("False"));
              }),
              0);
    EXPECT_EQ(d.getLayerProperty(wall, QStringLiteral("LayerOn")), QVariant(false));
    // Nor is a number a Boolean, whatever its value.
    for (const char* flag : {"Plottable", "LayerOn", "Lock", "Freeze", "ViewportDefault"})
        for (const QVariant& number : {QVariant(0), QVariant(-1), QVariant(2.0)})
            EXPECT_EQ(errorOf([&] { d.setLayerProperty(wall, QLatin1String(flag), number); }),
                      caderr::TypeMismatch)
                << flag << " took " << number.toString().toStdString();
    EXPECT_EQ(d.getLayerProperty(wall, QStringLiteral("Plottable")), QVariant(true));
    EXPECT_NE(errorOf([&] { d.setLayerProperty(wall, QStringLiteral("Color"), 0); }), 0);
    EXPECT_NE(errorOf([&] { d.setLayerProperty(wall, QStringLiteral("Color"), 256); }), 0);
    EXPECT_NE(errorOf([&] { d.setLayerProperty(wall, QStringLiteral("Lineweight"), 7); }), 0);
    EXPECT_NE(errorOf([&] { d.getLayerProperty(wall, QStringLiteral("Colour")); }), 0);
    EXPECT_EQ(errorOf([&] { d.getLayerProperty(QStringLiteral("nope"), QStringLiteral("Color")); }),
              caderr::KeyNotFound);
    EXPECT_EQ(errorOf([&] {
                  d.setLayerProperty(QStringLiteral("nope"), QStringLiteral("LayerOn"), true);
              }),
              caderr::KeyNotFound);
}

TEST_F(DrawingTest, CurrentLayerAndFreezeExcludeEachOther) {
    d.setActiveLayer(QStringLiteral("door"));
    EXPECT_EQ(d.getActiveLayer(), QStringLiteral("Door")); // the layer's own spelling
    EXPECT_EQ(errorOf([&] {
                  d.setLayerProperty(QStringLiteral("Door"), QStringLiteral("Freeze"), true);
              }),
              caderr::FrozenLayerCurrent);
    EXPECT_EQ(d.getLayerProperty(QStringLiteral("Door"), QStringLiteral("Freeze")),
              QVariant(false));

    d.setLayerProperty(QStringLiteral("Grid"), QStringLiteral("Freeze"), true);
    EXPECT_EQ(errorOf([&] { d.setActiveLayer(QStringLiteral("Grid")); }),
              caderr::FrozenLayerCurrent);
    EXPECT_EQ(d.getActiveLayer(), QStringLiteral("Door"));
    EXPECT_EQ(errorOf([&] { d.setActiveLayer(QStringLiteral("Missing")); }), caderr::KeyNotFound);
    // Switching off the current layer is allowed, as in the CAD.
    d.setLayerProperty(QStringLiteral("Door"), QStringLiteral("LayerOn"), false);
}

TEST_F(DrawingTest, LinetypeMustBeLoaded) {
    d.addLinetype(QStringLiteral("DASHED"));
    d.setLayerProperty(QStringLiteral("Wall"), QStringLiteral("Linetype"),
                       QStringLiteral("dashed"));
    EXPECT_EQ(d.getLayerProperty(QStringLiteral("Wall"), QStringLiteral("Linetype")),
              QVariant(QStringLiteral("DASHED")));
    EXPECT_EQ(errorOf([&] {
                  d.setLayerProperty(QStringLiteral("Wall"), QStringLiteral("Linetype"),
                                     QStringLiteral("CENTER"));
              }),
              caderr::KeyNotFound);
    EXPECT_NE(errorOf([&] {
                  d.setLayerProperty(QStringLiteral("Wall"), QStringLiteral("Linetype"),
                                     QStringLiteral("ByLayer"));
              }),
              0);
    d.addLinetype(QStringLiteral("dashed")); // already there in another case
    EXPECT_EQ(d.linetypeNames().size(), 4);
}

TEST_F(DrawingTest, SelectionSetsCountObjectsByLayerWithoutRegardToCase) {
    d.addSelectionSet(QStringLiteral("cSet"));
    d.selectAll(QStringLiteral("cSet"), {8}, {QStringLiteral("wall")});
    EXPECT_EQ(d.selectionSetSize(QStringLiteral("cSet")), 4); // "Wall" and "WALL"
    // Select adds to the set without counting an object twice.
    d.selectAll(QStringLiteral("cSet"), {8}, {QStringLiteral("Wall")});
    EXPECT_EQ(d.selectionSetSize(QStringLiteral("cset")), 4);
    d.selectAll(QStringLiteral("cSet"), {8}, {QStringLiteral("Door")});
    EXPECT_EQ(d.selectionSetSize(QStringLiteral("cSet")), 5);
    d.clearSelectionSet(QStringLiteral("cSet"));
    EXPECT_EQ(d.selectionSetSize(QStringLiteral("cSet")), 0);
    // Exact names: no wildcard and no prefix match.
    d.selectAll(QStringLiteral("cSet"), {8}, {QStringLiteral("W*")});
    EXPECT_EQ(d.selectionSetSize(QStringLiteral("cSet")), 0);
    d.selectAll(QStringLiteral("cSet"), {8, 0}, {QStringLiteral("Wall"), QStringLiteral("circle")});
    EXPECT_EQ(d.selectionSetSize(QStringLiteral("cSet")), 1);
    d.clearSelectionSet(QStringLiteral("cSet"));
    d.selectAll(QStringLiteral("cSet"), {}, {});
    EXPECT_EQ(d.selectionSetSize(QStringLiteral("cSet")), 5); // mode 5 without filter: all

    EXPECT_EQ(errorOf([&] { d.addSelectionSet(QStringLiteral("CSET")); }), caderr::DuplicateKey);
    EXPECT_NE(errorOf([&] {
                  d.selectAll(QStringLiteral("cSet"), {8, 8}, {QStringLiteral("a")});
              }),
              0);
    EXPECT_NE(errorOf([&] { d.selectAll(QStringLiteral("cSet"), {62}, {1}); }), 0);
    EXPECT_EQ(errorOf([&] { d.selectionSetSize(QStringLiteral("other")); }), caderr::KeyNotFound);
}

TEST_F(DrawingTest, DeletingSelectionSetsFromTheFrontLeavesNone) {
    d.addSelectionSet(QStringLiteral("a"));
    d.addSelectionSet(QStringLiteral("b"));
    d.addSelectionSet(QStringLiteral("c"));
    const int count = d.selectionSetCount();
    for (int i = 0; i < count; ++i)
        d.deleteSelectionSet(0);
    EXPECT_EQ(d.selectionSetCount(), 0);
    EXPECT_EQ(errorOf([&] { d.deleteSelectionSet(0); }), caderr::KeyNotFound);
}

TEST_F(DrawingTest, LayerDeletionKeepsTheDrawingConsistent) {
    EXPECT_NE(errorOf([&] { d.deleteLayer(QStringLiteral("0")); }), 0);
    // The CAD's own layer goes no more than "0" does, even empty.
    d.addLayer(QStringLiteral("Defpoints"));
    EXPECT_EQ(errorOf([&] { d.deleteLayer(QStringLiteral("DEFPOINTS")); }),
              caderr::ObjectReferenced);
    EXPECT_EQ(d.layerIndex(QStringLiteral("defpoints")), 4);
    d.setLayerProperty(QStringLiteral("Defpoints"), QStringLiteral("Name"),
                       QStringLiteral("Spare"));
    d.deleteLayer(QStringLiteral("Spare"));
    EXPECT_NE(errorOf([&] { d.deleteLayer(QStringLiteral("Wall")); }), 0); // has entities
    d.setActiveLayer(QStringLiteral("Grid"));
    EXPECT_NE(errorOf([&] { d.deleteLayer(QStringLiteral("grid")); }), 0); // current
    d.setActiveLayer(QStringLiteral("0"));
    d.deleteLayer(QStringLiteral("grid"));
    EXPECT_EQ(d.layerCount(), 3);
    EXPECT_EQ(d.layerIndex(QStringLiteral("Grid")), -1);
    EXPECT_EQ(d.layerIndex(QStringLiteral("Door")), 2); // index rebuilt after the erase
    EXPECT_EQ(errorOf([&] { d.deleteLayer(QStringLiteral("grid")); }), caderr::KeyNotFound);
}

TEST_F(DrawingTest, InvalidLayerNamesAreRefused) {
    for (const QString& bad : {QString(), QStringLiteral("  "), QStringLiteral("a/b"),
                               QStringLiteral("a*b"), QStringLiteral("x\ny")})
        EXPECT_NE(errorOf([&] { d.addLayer(bad); }), 0) << bad.toStdString();
    EXPECT_EQ(d.layerCount(), 4);
    d.addLayer(QStringLiteral("居間"));
    EXPECT_EQ(d.layerName(4), QStringLiteral("居間"));
}

TEST_F(DrawingTest, RenameFollowsEntitiesAndTheCurrentLayer) {
    d.setActiveLayer(QStringLiteral("Wall"));
    d.setLayerProperty(QStringLiteral("wall"), QStringLiteral("Name"), QStringLiteral("Walls"));
    EXPECT_EQ(d.getActiveLayer(), QStringLiteral("Walls"));
    EXPECT_EQ(d.entityCountOnLayer(QStringLiteral("walls")), 4);
    EXPECT_EQ(d.layerIndex(QStringLiteral("Wall")), -1);
    EXPECT_EQ(errorOf([&] {
                  d.setLayerProperty(QStringLiteral("Walls"), QStringLiteral("Name"),
                                     QStringLiteral("DOOR"));
              }),
              caderr::DuplicateKey);
}

TEST_F(DrawingTest, ExtentsCoverEveryEntityWhateverTheLayerState) {
    d.setLayerProperty(QStringLiteral("Door"), QStringLiteral("LayerOn"), false);
    Entity far = lineOn(QStringLiteral("Door"));
    far.primitives[0].points = {QPointF(-50, -20), QPointF(-40, -20)}; // horizontal: no height
    d.addEntity(far);
    EXPECT_EQ(d.extents(), QRectF(QPointF(-50, -20), QPointF(10, 5)));
}

TEST_F(DrawingTest, RegenCountsAndNotifies) {
    int notified = 0;
    QObject::connect(&d, &Drawing::regenerated, [&] { ++notified; });
    d.regen(1);
    d.regen(1);
    EXPECT_EQ(d.regenCount(), 2);
    EXPECT_EQ(notified, 2);
}

TEST(CadApplicationTest, DocumentsCaptionAndMacros) {
    cadhost::CadApplication app;
    EXPECT_EQ(app.caption(), QStringLiteral("CAD Host"));
    EXPECT_EQ(errorOf([&] { app.activeDocument(); }), caderr::NoDocument);
    Drawing* first = app.add();
    Drawing* second = app.add();
    EXPECT_EQ(first->name(), QStringLiteral("Drawing1.dxf"));
    EXPECT_EQ(second->name(), QStringLiteral("Drawing2.dxf"));
    EXPECT_EQ(app.activeDocument(), second);
    EXPECT_EQ(app.caption(), QStringLiteral("CAD Host - [Drawing2.dxf]"));
    EXPECT_EQ(app.documentNumber(first), 1);
    EXPECT_EQ(app.documentByNumber(2), second);
    app.close(second);
    EXPECT_EQ(app.activeDocument(), first);
    EXPECT_EQ(app.documentByNumber(2), nullptr);
    EXPECT_EQ(app.add()->name(), QStringLiteral("Drawing3.dxf")); // numbers are never reused
    EXPECT_EQ(app.documentNumber(app.activeDocument()), 3);

    // No macro language or file format installed: a clear automation error, no crash.
    EXPECT_NE(errorOf([&] { app.loadDVB(QStringLiteral("/tmp/TARNIX.dvb")); }), 0);
    EXPECT_NE(errorOf([&] { app.runMacro(QStringLiteral("TARNIX.basWMF.x")); }), 0);
    EXPECT_NE(errorOf([&] { app.open(QStringLiteral("/tmp/none.dxf")); }), 0);
    EXPECT_NE(errorOf([&] { app.activeDocument()->save(); }), 0); // never saved
}
