// The object model, the layer snapshot, the linetype list and the object count against
// a real drawing model in process.
#include "RecordingBackend.h"

#include "InProcessBackend.h"
#include "acad/AcadApplication.h"
#include "acad/basAcadConnect.h"
#include "acad/basAcadUse.h"
#include "acad/basDWF_Acad.h"
#include "automation/CadErrorNumbers.h"
#include "cadhost/model/Drawing.h"

#include <gtest/gtest.h>

using caderr::FrozenLayerCurrent;
using caderr::KeyNotFound;
using platform::AutomationError;

namespace {

// A drawing whose layer order is deliberately not alphabetical.
class AcadModelTest : public ::testing::Test {
protected:
    void SetUp() override {
        drawing.addLinetype(QStringLiteral("DASHED"));
        drawing.addLinetype(QStringLiteral("HIDDEN"));
        drawing.addLayer(QStringLiteral("Walls"));
        drawing.addLayer(QStringLiteral("Doors"));
        drawing.addLayer(QStringLiteral("Alpha"));
        drawing.setLayerProperty(QStringLiteral("Walls"), QStringLiteral("Color"), 1);
        drawing.setLayerProperty(QStringLiteral("Walls"), QStringLiteral("Linetype"),
                                 QStringLiteral("DASHED"));
        drawing.setLayerProperty(QStringLiteral("Walls"), QStringLiteral("LayerOn"), false);
        drawing.setLayerProperty(QStringLiteral("Doors"), QStringLiteral("Freeze"), true);
        drawing.setLayerProperty(QStringLiteral("Doors"), QStringLiteral("Lock"), true);
        drawing.setLayerProperty(QStringLiteral("Doors"), QStringLiteral("Lineweight"), 50);
        drawing.setLayerProperty(QStringLiteral("Alpha"), QStringLiteral("Plottable"), false);
        drawing.setLayerProperty(QStringLiteral("Alpha"), QStringLiteral("ViewportDefault"), true);
        addEntities(QStringLiteral("Walls"), 3);
        addEntities(QStringLiteral("Doors"), 2);
        addEntities(QStringLiteral("0"), 1);

        recorder = std::make_shared<RecordingDocument>(
            std::make_shared<acad::inprocess::DocumentBackend>(&drawing));
        doc = std::make_shared<acad::AcadDocument>(recorder);
        pu_oAcadDoc = doc;
    }
    void TearDown() override {
        pu_oAcadDoc.reset();
        pu_typLayerState.clear();
        pu_sLineTypeArray = QStringList{QString()};
    }

    void addEntities(const QString& layer, int n) {
        for (int i = 0; i < n; ++i) {
            cadhost::Entity e;
            e.type = QStringLiteral("LINE");
            e.layer = layer;
            drawing.addEntity(e);
        }
    }

    cadhost::Drawing drawing;
    std::shared_ptr<RecordingDocument> recorder;
    std::shared_ptr<acad::AcadDocument> doc;
};

qint32 errorNumber(const std::function<void()>& fn) {
    try {
        fn();
    } catch (const platform::VbError& e) {
        return e.number();
    }
    return 0;
}

TEST_F(AcadModelTest, LayersEnumerateInTheDrawingsOwnOrder) {
    acad::AcadLayers layers = doc->Layers();
    EXPECT_EQ(layers.Count(), 4);
    QStringList seen;
    for (acad::AcadLayer layer : layers)
        seen << layer.Name();
    EXPECT_EQ(seen, (QStringList{"0", "Walls", "Doors", "Alpha"}));

    QStringList viaForEach;
    layers.forEach([&](acad::AcadLayer& l) { viaForEach << l.Name(); });
    EXPECT_EQ(viaForEach, seen);
    EXPECT_EQ(layers.Item(2).Name(), QStringLiteral("Doors"));
}

TEST_F(AcadModelTest, ItemByNameIsFreeAndFailsOnFirstUseWhenTheLayerIsMissing) {
    recorder->calls.clear();
    acad::AcadLayer ghost = doc->Layers().Item(QStringLiteral("Ghost"));
    EXPECT_TRUE(recorder->calls.isEmpty()) << "Item(name) must not cost a round trip";
    EXPECT_EQ(errorNumber([&] { ghost.LayerOn(); }), KeyNotFound);
    EXPECT_EQ(errorNumber([&] { ghost.setFreeze(true); }), KeyNotFound);
    // The CAD compares names without regard to case and answers with its own spelling.
    EXPECT_EQ(doc->Layers().Item(QStringLiteral("WALLS")).Name(), QStringLiteral("Walls"));
}

TEST_F(AcadModelTest, ItemByIndexOutOfRangeRaisesTheCadsError) {
    EXPECT_EQ(errorNumber([&] { doc->Layers().Item(4); }), KeyNotFound);
    EXPECT_EQ(errorNumber([&] { doc->Layers().Item(-1); }), KeyNotFound);
    EXPECT_EQ(errorNumber([] { acad::AcadLayer().LayerOn(); }), 91);
}

TEST_F(AcadModelTest, PropertiesReadWithTheirTypesAndWritesReachTheDrawing) {
    acad::AcadLayer walls = doc->Layers().Item(QStringLiteral("Walls"));
    EXPECT_FALSE(walls.LayerOn());
    EXPECT_EQ(walls.Color(), 1);
    EXPECT_EQ(walls.Linetype(), QStringLiteral("DASHED"));
    EXPECT_EQ(walls.PlotStyleName(), QStringLiteral("Normal"));

    walls.setLayerOn(true);
    walls.setLock(true);
    walls.setLinetype(QStringLiteral("hidden"));
    const cadhost::Layer* l = drawing.findLayer(QStringLiteral("Walls"));
    ASSERT_NE(l, nullptr);
    EXPECT_TRUE(l->layerOn);
    EXPECT_TRUE(l->lock);
    EXPECT_EQ(l->linetype, QStringLiteral("HIDDEN"));
    EXPECT_TRUE(walls.Lock());

    EXPECT_EQ(errorNumber([&] { walls.setLinetype(QStringLiteral("NOTLOADED")); }), KeyNotFound);
}

TEST_F(AcadModelTest, ActiveLayerRulesComeBackAsTheCadsNumbers) {
    EXPECT_EQ(doc->ActiveLayer().Name(), QStringLiteral("0"));
    doc->setActiveLayer(doc->Layers().Item(QStringLiteral("walls")));
    EXPECT_EQ(doc->ActiveLayer().Name(), QStringLiteral("Walls"));
    EXPECT_EQ(
        errorNumber([&] { doc->setActiveLayer(doc->Layers().Item(QStringLiteral("Doors"))); }),
        FrozenLayerCurrent);
    // The current layer cannot be frozen; the refusal reaches the caller as an error.
    EXPECT_NE(errorNumber([&] { doc->ActiveLayer().setFreeze(true); }), 0);
    doc->Regen(acad::acAllViewports);
    EXPECT_EQ(drawing.regenCount(), 1);
}

TEST_F(AcadModelTest, SnapshotRecordsEveryLayerInOrderFromIndexOne) {
    typLayerState stale;
    stale.sName = QStringLiteral("stale");
    pu_typLayerState.assign(10, stale);
    pu_subLayerSnapshot();
    ASSERT_EQ(pu_typLayerState.size(), 5u);
    EXPECT_TRUE(pu_typLayerState[0].sName.isEmpty());

    const typLayerState& walls = pu_typLayerState[2];
    EXPECT_EQ(walls.sName, QStringLiteral("Walls"));
    EXPECT_FALSE(walls.bLayerOn);
    EXPECT_EQ(walls.lnColor, 1);
    EXPECT_EQ(walls.sLineType, QStringLiteral("DASHED"));

    const typLayerState& doors = pu_typLayerState[3];
    EXPECT_TRUE(doors.bLayerOn);
    EXPECT_TRUE(doors.bFreeze);
    EXPECT_TRUE(doors.bLock);
    EXPECT_EQ(doors.lnLineWeight, 50);
    EXPECT_TRUE(doors.bPlottable);

    const typLayerState& alpha = pu_typLayerState[4];
    EXPECT_EQ(alpha.sName, QStringLiteral("Alpha"));
    EXPECT_FALSE(alpha.bPlottable);
    EXPECT_TRUE(alpha.bViewportDefault);
    EXPECT_EQ(alpha.sPlotStyleName, QStringLiteral("Normal"));
    EXPECT_EQ(alpha.lnLineWeight, -3);
    EXPECT_EQ(pu_fun_lnLayerCount(), 4);
}

TEST_F(AcadModelTest, SnapshotMakesOneCallPerPropertyInTheGivenOrder) {
    recorder->calls.clear();
    pu_subLayerSnapshot();
    const int n = 4;
    // Count for the array, Count for the enumeration, one name per layer, ten reads each.
    EXPECT_EQ(recorder->calls.size(), 2 + n + 10 * n);
    EXPECT_EQ(recorder->count(QStringLiteral("layerCount")), 2);
    const QStringList firstLayer = recorder->calls.mid(3, 10);
    QStringList props;
    for (const QString& c : firstLayer)
        props << c.section(QLatin1Char(' '), 2);
    EXPECT_EQ(props, (QStringList{"Name", "Linetype", "PlotStyleName", "Freeze", "LayerOn", "Lock",
                                  "ViewportDefault", "Plottable", "Color", "Lineweight"}));
}

TEST_F(AcadModelTest, SnapshotFailingPartWayKeepsWhatWasReadAndPassesTheErrorOn) {
    recorder->failWhen = [](const QString& c) {
        return c == QLatin1String("getLayerProperty Doors Lock");
    };
    EXPECT_EQ(errorNumber([] { pu_subLayerSnapshot(); }), recorder->failNumber);
    ASSERT_EQ(pu_typLayerState.size(), 5u);
    EXPECT_EQ(pu_typLayerState[2].sName, QStringLiteral("Walls"));
    EXPECT_EQ(pu_typLayerState[2].lnColor, 1);
    const typLayerState& doors = pu_typLayerState[3];
    EXPECT_EQ(doors.sName, QStringLiteral("Doors"));
    EXPECT_TRUE(doors.bFreeze); // read before Lock
    EXPECT_TRUE(doors.bLayerOn);
    EXPECT_FALSE(doors.bLock); // the failed read and everything after stay default
    EXPECT_EQ(doors.lnLineWeight, 0);
    EXPECT_TRUE(pu_typLayerState[4].sName.isEmpty());
}

TEST_F(AcadModelTest, SnapshotOfADrawingThatGrewDuringTheReadStopsAtTheArrayBound) {
    // One layer appears between the count and the enumeration.
    bool added = false;
    recorder->failWhen = [&](const QString& c) {
        if (c == QLatin1String("layerCount") &&
            recorder->count(QStringLiteral("layerCount")) == 2 && !added) {
            drawing.addLayer(QStringLiteral("Late"));
            added = true;
        }
        return false;
    };
    EXPECT_EQ(errorNumber([] { pu_subLayerSnapshot(); }), platform::vberr::SubscriptOutOfRange);
    ASSERT_EQ(pu_typLayerState.size(), 5u);
    EXPECT_EQ(pu_typLayerState[4].sName, QStringLiteral("Alpha"));
}

TEST_F(AcadModelTest, WithoutADocumentTheModulesRaiseInsteadOfCrashing) {
    pu_oAcadDoc.reset();
    EXPECT_EQ(errorNumber([] { pu_fun_lnLayerCount(); }), 91);
    EXPECT_EQ(errorNumber([] { pu_subLayerSnapshot(); }), 91);
    EXPECT_EQ(errorNumber([] { pu_subLineTypeList(); }), 91);
    EXPECT_EQ(pu_sLineTypeArray, QStringList{QString()});
}

TEST_F(AcadModelTest, LineTypeListFollowsTheDrawingAndDropsByLayerAndByBlock) {
    pu_subLineTypeList();
    // Drawing order, first element empty; Continuous is an ordinary linetype.
    EXPECT_EQ(pu_sLineTypeArray, (QStringList{"", "Continuous", "DASHED", "HIDDEN"}));
    EXPECT_EQ(recorder->count(QStringLiteral("linetypeNames")), 1);

    // A previous list is discarded.
    cadhost::Drawing bare;
    pu_oAcadDoc = std::make_shared<acad::AcadDocument>(
        std::make_shared<acad::inprocess::DocumentBackend>(&bare));
    pu_subLineTypeList();
    EXPECT_EQ(pu_sLineTypeArray, (QStringList{"", "Continuous"}));
}

// A document whose linetype collection is whatever the test says: the drawing model
// keeps the built-in spellings, but a CAD's files may spell them in any case.
class LinetypeOnlyDocument : public acad::inprocess::DocumentBackend {
public:
    explicit LinetypeOnlyDocument(QStringList names)
        : acad::inprocess::DocumentBackend(nullptr), m_names(std::move(names)) {}
    QStringList linetypeNames() override { return m_names; }

private:
    QStringList m_names;
};

TEST(LineTypeList, ByLayerInAnyCaseIsLeftOutButLongerNamesStay) {
    pu_oAcadDoc = std::make_shared<acad::AcadDocument>(std::make_shared<LinetypeOnlyDocument>(
        QStringList{"BYLAYER", "ByBlock", "bylayer2", "ByLayer2", "byblock", "CENTER", "ByLayer",
                    "BYBLOCK ", "bYlAyEr"}));
    pu_subLineTypeList();
    EXPECT_EQ(pu_sLineTypeArray, (QStringList{"", "bylayer2", "ByLayer2", "CENTER", "BYBLOCK "}));

    pu_oAcadDoc = std::make_shared<acad::AcadDocument>(
        std::make_shared<LinetypeOnlyDocument>(QStringList{"ByLayer", "BYBLOCK"}));
    pu_subLineTypeList();
    EXPECT_EQ(pu_sLineTypeArray, QStringList{QString()});
    pu_oAcadDoc.reset();
    pu_sLineTypeArray = QStringList{QString()};
}

TEST_F(AcadModelTest, ObjectCountOfOneNameOrOfAnArrayFromIndexOne) {
    EXPECT_EQ(pu_fun_lnObjectCount(*doc, QStringLiteral("Walls")), 3);
    EXPECT_EQ(pu_fun_lnObjectCount(*doc, QStringList{"", "Walls"}), 3);
    // Element 0 is ignored even when it names a layer.
    EXPECT_EQ(pu_fun_lnObjectCount(*doc, QStringList{"Walls", "Doors", "0"}), 3);
    EXPECT_EQ(pu_fun_lnObjectCount(*doc, QVariantList{QString(), "Walls", "Doors"}), 5);
    EXPECT_EQ(pu_fun_lnObjectCount(*doc, QStringLiteral("Alpha")), 0);
    // The filter is on group code 8 with mode 5.
    EXPECT_EQ(recorder->calls.filter(QStringLiteral("selectAll")).last(),
              QStringLiteral("selectAll cSet 8=Alpha"));
}

TEST_F(AcadModelTest, ObjectCountClearsEverySetAndLeavesExactlyCSet) {
    drawing.addSelectionSet(QStringLiteral("A"));
    drawing.addSelectionSet(QStringLiteral("B"));
    drawing.addSelectionSet(QStringLiteral("C"));

    // Upper bound 0: nothing counted, yet the old sets are gone and "cSet" is made.
    EXPECT_EQ(pu_fun_lnObjectCount(*doc, QStringList{QString()}), 0);
    ASSERT_EQ(drawing.selectionSetCount(), 1);
    EXPECT_EQ(drawing.selectionSetName(0), QStringLiteral("cSet"));
    EXPECT_EQ(recorder->count(QStringLiteral("deleteSelectionSet 0")), 3);

    EXPECT_EQ(pu_fun_lnObjectCount(*doc, QStringLiteral("Walls")), 3);
    EXPECT_EQ(pu_fun_lnObjectCount(*doc, QStringLiteral("Walls")), 3);
    ASSERT_EQ(drawing.selectionSetCount(), 1);
    EXPECT_EQ(drawing.selectionSetName(0), QStringLiteral("cSet"));
}

TEST_F(AcadModelTest, ObjectCountGoesOnPastASetThatCannotBeDeleted) {
    drawing.addSelectionSet(QStringLiteral("Stuck"));
    drawing.addSelectionSet(QStringLiteral("Other"));
    // The first delete fails; the loop still runs twice, removing "Stuck" on the retry.
    int deletes = 0;
    recorder->failWhen = [&](const QString& c) {
        return c.startsWith(QLatin1String("deleteSelectionSet")) && ++deletes == 1;
    };
    EXPECT_EQ(pu_fun_lnObjectCount(*doc, QStringLiteral("Doors")), 2);
    EXPECT_EQ(deletes, 2);
    ASSERT_EQ(drawing.selectionSetCount(), 2);
    EXPECT_EQ(drawing.selectionSetName(0), QStringLiteral("Other"));
    EXPECT_EQ(drawing.selectionSetName(1), QStringLiteral("cSet"));
}

TEST_F(AcadModelTest, ObjectCountPassesOnErrorsAfterTheCleanUp) {
    recorder->failWhen = [](const QString& c) {
        return c.startsWith(QLatin1String("selectionSetSize"));
    };
    EXPECT_EQ(errorNumber([&] { pu_fun_lnObjectCount(*doc, QStringLiteral("Walls")); }),
              recorder->failNumber);
    // When even the set count fails, the cleanup is skipped silently; the "cSet" left
    // by the failed count is still there and adding it again is the error reported.
    recorder->failWhen = [](const QString& c) { return c == QLatin1String("selectionSetCount"); };
    EXPECT_EQ(errorNumber([&] { pu_fun_lnObjectCount(*doc, QStringLiteral("Walls")); }),
              static_cast<qint32>(0x80200018u));
    EXPECT_EQ(drawing.selectionSetCount(), 1);
}

TEST_F(AcadModelTest, DocumentReferenceOutlivingItsDrawingRaises) {
    auto closing = std::make_unique<cadhost::Drawing>();
    acad::AcadDocument stale(std::make_shared<acad::inprocess::DocumentBackend>(closing.get()));
    EXPECT_EQ(stale.Layers().Count(), 1);
    closing.reset();
    EXPECT_EQ(errorNumber([&] { stale.Layers().Count(); }), acad::inprocess::kObjectDisconnected);
}

} // namespace
