#pragma once

// A window against the real host: a private bus with cadhost started by D-Bus
// activation, a drawing of a dozen layers in mixed states open in it, and the shipped
// macro project beside the viewer. The tests read the layers back through the host.

#include "viewer/frmWMF.h"

#include "DxfFixture.h"
#include "PrivateSessionBus.h"
#include "ViewerTestSupport.h"
#include "acad/AcadApplication.h"
#include "acad/DBusBackend.h"
#include "acad/DBusConnector.h"
#include "acad/basAcadConnect.h"
#include "app/frmSplash.h"
#include "platform/VbListBox.h"
#include "tiles/clsDWF.h"

#include <QFile>
#include <QRegularExpression>
#include <QStatusBar>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <map>
#include <memory>

namespace viewertest {

struct States {
    bool on, frozen, locked;
    bool operator==(const States&) const = default;
};
using StateMap = std::map<QString, States>;

// Twelve layers: on, off, frozen, off and frozen, locked, names differing in case
// order, one without entities; the current layer "Cur" is off.
inline const QStringList kLayers = {
    QStringLiteral("0"),      QStringLiteral("Walls"), QStringLiteral("Doors"),
    QStringLiteral("Hidden"), QStringLiteral("Gone"),  QStringLiteral("alpha"),
    QStringLiteral("Beta"),   QStringLiteral("gamma"), QStringLiteral("Dims"),
    QStringLiteral("Text"),   QStringLiteral("Empty"), QStringLiteral("Cur")};

class CadHostWindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(bus.isValid()) << bus.errorString().toStdString();
        connector = std::make_shared<acad::DBusConnector>(bus.connection());
        acad::setConnector(connector);
        QFile::copy(QStringLiteral(KORVEL_SOURCE_DIR "/src/acad/TARNIX.dvb"),
                    folder.path() + QStringLiteral("/TARNIX.dvb"));
        pu_oAcadApp.reset();
        pu_oAcadDoc.reset();
        window.show();
        // Two tile columns, as in the window's default width.
        window.setWidth(5820);
    }
    void TearDown() override {
        acad::resetConnector();
        frmSplash::Unload();
        pu_oAcadApp.reset();
        pu_oAcadDoc.reset();
    }

    // Starts the host and opens the plan in it, the layer "Cur" current.
    void openPlan() {
        korvel::test::DxfFixture dxf;
        dxf.addLinetype(QStringLiteral("DASHED"), QStringLiteral("Dashed"));
        korvel::test::DxfFixture::LayerState off, frozen, offFrozen, locked;
        off.on = false;
        frozen.frozen = true;
        frozen.linetype = QStringLiteral("DASHED");
        offFrozen.on = false;
        offFrozen.frozen = true;
        locked.locked = true;
        dxf.addLayer(QStringLiteral("0"));
        dxf.addLayer(QStringLiteral("Walls"), 1);
        dxf.addLayer(QStringLiteral("Doors"), 3, frozen);
        dxf.addLayer(QStringLiteral("Hidden"), 5, off);
        dxf.addLayer(QStringLiteral("Gone"), 6, offFrozen);
        dxf.addLayer(QStringLiteral("alpha"), 2, locked);
        dxf.addLayer(QStringLiteral("Beta"), 4);
        dxf.addLayer(QStringLiteral("gamma"), 30);
        dxf.addLayer(QStringLiteral("Dims"), 8);
        dxf.addLayer(QStringLiteral("Text"), 7);
        dxf.addLayer(QStringLiteral("Empty"), 9);
        dxf.addLayer(QStringLiteral("Cur"), 1, off);
        int k = 0;
        for (const QString& layer : kLayers) {
            if (layer == QStringLiteral("Empty"))
                continue;
            dxf.addLine(layer, 0, k, 100, k + 10);
            dxf.addCircle(layer, 50, 50, 5 + k);
            ++k;
        }
        dxf.addText(QStringLiteral("Doors"), 10, 10, 2.5, QStringLiteral("FROZENTEXT"));
        dxf.addText(QStringLiteral("Cur"), 20, 20, 2.5, QStringLiteral("CURTEXT"));
        path = drawings.filePath(QStringLiteral("plan.dxf"));
        ASSERT_TRUE(dxf.write(path));
        auto app = std::dynamic_pointer_cast<acad::DBusApplicationBackend>(connector->create());
        ASSERT_TRUE(app);
        app->setVisible(true);
        host = app;
        doc = std::make_shared<acad::AcadDocument>(app->open(path));
        doc->setActiveLayer(doc->Layers().Item(QStringLiteral("Cur")));
        before = states();
    }

    StateMap states() {
        StateMap map;
        acad::AcadLayers layers = doc->Layers();
        for (acad::AcadLayer layer : layers)
            map[layer.addressedName()] = {layer.LayerOn(), layer.Freeze(), layer.Lock()};
        return map;
    }

    // The window refreshed from a layer-list file naming `layers`, one a line.
    void refreshFromList(const QStringList& layers) {
        const QString list = drawings.filePath(QStringLiteral("list.csv"));
        QFile f(list);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write(layers.join(QLatin1Char('\n')).toUtf8());
        f.close();
        window.setLayerListFile(list);
        window.pu_subCmdRefresh_Click();
    }

    clsDWF& tile(int i) { return *window.tile(i); }
    QStringList tileNames() {
        QStringList names;
        for (int i = 1; i <= window.proDWFUBound(); ++i)
            names << tile(i).sLayerName();
        return names;
    }
    QStringList listItems() {
        QStringList items;
        for (int i = 0; i < window.LstLayers->ListCount(); ++i)
            items << window.LstLayers->List(i);
        return items;
    }
    int tileOf(const QString& name) { return int(tileNames().indexOf(name)) + 1; }

    void expectStatusDone() {
        static const QRegularExpression done(
            QStringLiteral("^plan\\.dxf \\[\\d\\d:\\d\\d\\] 更新$"));
        EXPECT_TRUE(done.match(window.StatusMain->currentMessage()).hasMatch())
            << window.StatusMain->currentMessage().toStdString();
    }

    korvel::test::PrivateSessionBus bus;
    viewertest::ScratchProgramFolder folder;
    viewertest::MsgBoxRecorder boxes;
    QTemporaryDir drawings;
    std::shared_ptr<acad::DBusConnector> connector;
    std::shared_ptr<acad::ApplicationBackend> host;
    std::shared_ptr<acad::AcadDocument> doc;
    QString path;
    StateMap before;
    frmWMF window;
};

} // namespace viewertest
