// The viewer rebuild: pictures of the drawing, one tile per layer shown, the layers'
// states read into the tiles. The refresh is its only caller.

#include "LayerStateRestore.h"
#include "WorkFolder.h"
#include "frmWMF.h"

#include "RefreshPhases.h"

#include "acad/basAcadConnect.h"
#include "acad/basAcadUse.h"
#include "acad/basDWF_Acad.h"
#include "app/frmSplash.h"
#include "metafile/MetafilePicture.h"
#include "platform/ControlGeometry.h"
#include "platform/ErrorReport.h"
#include "platform/MsgBox.h"
#include "platform/ProgramFolder.h"
#include "platform/VbError.h"
#include "platform/VbErrorText.h"
#include "platform/VbFrame.h"
#include "platform/VbImage.h"
#include "platform/VbListBox.h"
#include "platform/VbPictureBox.h"
#include "platform/VbTextBox.h"
#include "tiles/PictureLoad.h"
#include "tiles/TileGrid.h"
#include "tiles/basDWF_PictureFit.h"
#include "tiles/clsDWF.h"

#include <QCheckBox>
#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QGroupBox>
#include <QStatusBar>
#include <QTime>
#include <algorithm>
#include <cmath>

using platform::ControlGeometry;

namespace {

const QString kMacroAll = QStringLiteral("TARNIX.basWMF.pu_subMakeWMF_All");
const QString kMacroPart = QStringLiteral("TARNIX.basWMF.pu_subMakeWMF_Part");
const QString kMacroAllLayer = QStringLiteral("TARNIX.basWMF.pu_subMakeWMF_AllLayer");
const QString kMacroViewLayer = QStringLiteral("TARNIX.basWMF.pu_subMakeWMF_ViewLayer");
const QString kGathering = QStringLiteral(" の画層情報を取得中．．．");
constexpr qint64 kMessageIntervalMs = 15;
// However long the last round of messages took, the next comes within this: a window
// that goes longer without them no longer looks alive.
constexpr qint64 kMessageMaxWaitMs = 50;

// After a failure the layers that could not be put back are named: the drawing may have
// them switched on and thawed, and only the user can set them right.
void reportLayersNotRestored(const QStringList& names) {
    constexpr qsizetype kNamesShown = 20;
    const QString list = ErrorReport::layerNamesText(names, kNamesShown);
    platform::MsgBox(
        QStringLiteral("次の画層の表示・フリーズの状態を元に戻せなかった可能性があります。"
                       "AutoCADで確認してください。") +
            QLatin1Char('\r') + list,
        platform::vbOKOnly | platform::vbExclamation, ErrorReport::kTitle);
}

// The current layer known to the tiles for as long as the scope lives.
class KnownCurrentLayer {
public:
    KnownCurrentLayer(std::optional<QString>& known, const QString& name) : m_known(known) {
        m_known = name;
    }
    ~KnownCurrentLayer() { m_known.reset(); }
    KnownCurrentLayer(const KnownCurrentLayer&) = delete;
    KnownCurrentLayer& operator=(const KnownCurrentLayer&) = delete;

private:
    std::optional<QString>& m_known;
};

} // namespace

TileGrid* frmWMF::tileGrid() const {
    if (!m_tileGrid)
        m_tileGrid = std::make_shared<TileGrid>(PicMain);
    return m_tileGrid.get();
}

void frmWMF::pr_subTileClear() {
    // The window paints while thousands of old controls go; the user's input waits, as
    // it does for every call to the CAD.
    QElapsedTimer since;
    since.start();
    tileGrid()->pr_subTileClear([&since] {
        if (since.elapsed() < kMessageIntervalMs)
            return;
        QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
        since.restart();
    });
}

// One step of the rebuild's progress, then the pending window messages. The drawing's
// name was read when the rebuild began: asking the CAD again for every one of 3 x m
// steps would cost more than the step itself. Messages run at most every few
// milliseconds, which keeps the window painting and answering the user without
// repainting it a thousand times a second.
void frmWMF::pr_subProgressStep() {
    pr_subStopIfClosing();
    // A CAD that stopped answering ends the refresh here, with its own error, rather
    // than with one box per tile still to come.
    if (pu_oAcadApp)
        pu_oAcadApp->CheckConnection();
    ++m_progressCount;
    const double percent = double(m_progressCount) / double(m_progressTotal) * 100.0;
    StatusMain->showMessage(m_sProgressName + kGathering +
                            QString::number(qint64(std::nearbyint(percent))) + QLatin1Char('%'));
    // A repaint of a grid of a thousand tiles with their pictures can take longer than
    // the interval itself: wait three times as long as the last round of messages took,
    // so painting takes about a quarter of the rebuild, but never so long that the
    // window stops answering.
    if (!m_messageClock.isValid() || m_messageClock.elapsed() >= m_messageWaitMs) {
        QElapsedTimer messages;
        messages.start();
        QCoreApplication::processEvents();
        m_messageWaitMs = std::clamp(3 * messages.elapsed(), kMessageIntervalMs, kMessageMaxWaitMs);
        m_messageClock.start();
        pr_subStopIfClosing();
    }
}

void frmWMF::pu_subFormShow(std::shared_ptr<acad::AcadDocument> oAcadDoc,
                            const QStringList& sAllLayerArray, const QStringList& sOnLayerArray,
                            bool bAll) {
    frmSplash::pu_subShow(QStringLiteral("現在の図面から画層を取得中．．．"));
    prbShowEnd = false;
    pu_bUpdateEnd = false;

    RefreshPhases::mark("start");
    pu_subLayerSnapshot();
    RefreshPhases::mark("snapshot");

    WorkFolder::RefreshPictures folderPictures;
    const QString sysFolder = folderPictures.sysPath();

    proAcadDoc = oAcadDoc;
    m_sProgressName = oAcadDoc->Name();
    m_messageClock.invalidate();
    m_messageWaitMs = kMessageIntervalMs;
    StatusMain->showMessage(m_sProgressName + kGathering);

    prvAllLayerArray = sAllLayerArray;
    prvOnLayerArray = sOnLayerArray;
    const qint32 n = qint32(sAllLayerArray.size()) - 1;
    const qint32 m = qint32(sOnLayerArray.size()) - 1;

    pr_subLayerListFill(sOnLayerArray);

    if (n == m) {
        ControlGeometry::setLeft(LstLayers, 2970);
        FraPart->setVisible(false);
        ControlGeometry::setLeft(FraViewDblClick, 5820);
    } else {
        ControlGeometry::setLeft(LstLayers, 5760);
        FraPart->setVisible(true);
        ControlGeometry::setLeft(FraViewDblClick, 8610);
    }
    ControlGeometry::setLeft(ChkViewOnly, ControlGeometry::Left(FraViewDblClick));

    // From the first layer switched on until the snapshot's states are back, a failure
    // would leave the user's drawing with every layer on and thawed: put them back
    // before the failure is reported.
    const QString sActiveLayer = oAcadDoc->ActiveLayer().addressedName();
    LayerStateRestore states(*oAcadDoc, sActiveLayer);
    bool bStatesChanged = false;
    try {
        acad::AcadLayers layers = oAcadDoc->Layers();
        for (acad::AcadLayer oLayer : layers) {
            // The name Item(index) came back with is the drawing's own spelling.
            if (oLayer.addressedName() == sActiveLayer)
                continue;
            bStatesChanged = true;
            oLayer.setFreeze(false);
            oLayer.setLayerOn(true);
        }
        RefreshPhases::mark("layers on and thawed");
        oAcadDoc->Regen(acad::acAllViewports);
        pu_oAcadApp->RunMacro(kMacroAll);
        RefreshPhases::mark("overview macro");

        if (!bAll) {
            states.all();
            bStatesChanged = false;
            oAcadDoc->Regen(acad::acAllViewports);
            pu_oAcadApp->RunMacro(kMacroPart);
        }

        // The overviews are played while the tiles are built: they are the largest
        // pictures, and nothing below needs more of them than their size.
        // Their pixels are made on the worker too, once the fit has given their size:
        // painting a whole drawing's commands would stop the window far longer than a
        // user sees it as answering.
        const QString allWmf = sysFolder + QStringLiteral("/all.wmf");
        std::shared_ptr<const metafile::MetafilePicture> all;
        if (QFileInfo(allWmf).isFile())
            all = basDWF::pu_subLoadPicture(*ImgALL, allWmf,
                                            metafile::MetafilePicture::Play::InBackground);
        basDWF::pu_subPictureFit(*ImgALL, *FraALL,
                                 qint32(std::nearbyint(ControlGeometry::Height(TxtALL))), 0);
        basDWF::pu_subPreparePicture(all, *ImgALL);
        std::shared_ptr<const metafile::MetafilePicture> part;
        if (!bAll) {
            const QString partWmf = sysFolder + QStringLiteral("/part.wmf");
            if (QFileInfo(partWmf).isFile())
                part = basDWF::pu_subLoadPicture(*ImgPart, partWmf,
                                                 metafile::MetafilePicture::Play::InBackground);
            basDWF::pu_subPictureFit(*ImgPart, *FraPart,
                                     qint32(std::nearbyint(ControlGeometry::Height(TxtPart))), 0);
            basDWF::pu_subPreparePicture(part, *ImgPart);
        }

        const double allWidth = ControlGeometry::Width(ImgALL);
        if (allWidth == 0)
            throw platform::vbError(platform::vberr::DivisionByZero);
        prsnAllRatio =
            float(std::nearbyint(ControlGeometry::Height(ImgALL) / allWidth * 100.0) / 100.0);

        RefreshPhases::mark("states back, part macro, overviews loaded");
        pr_subTileClear();
        RefreshPhases::mark("old tiles cleared");
        prlnDWFCount = m;
        PicMain->Tag = QString::number(m);
        m_progressTotal = 3 * m;
        m_progressCount = 0;
        // Element 0 stays empty; with no layer to show there is no tile at all, and
        // tile 1's template, reused at every refresh, must not go on showing the last
        // refresh's layer.
        proDWF.assign(std::size_t(m) + 1, nullptr);
        if (m == 0)
            FraOne1->setVisible(false);

        TileGrid& grid = *tileGrid();
        // Every new tile marks the current layer: the name read above serves them all.
        KnownCurrentLayer current(m_knownCurrentLayer, sActiveLayer);
        for (qint32 i = 1; i <= m; ++i) {
            pr_subProgressStep();
            const TileControls c = i == 1 ? grid.templateControls() : grid.addTileControls(i);
            // Tile 1 reuses the template: without this it would go on showing the last
            // refresh's picture of another layer when its own layer gets no file.
            if (i == 1 && c.ImgOne)
                c.ImgOne->setPicture(platform::VbPicturePtr());
            auto tile = std::make_shared<clsDWF>();
            proDWF[std::size_t(i)] = tile;
            const ErrorReport::AboutLayer about(sOnLayerArray[i]);
            tile->InitialSettingAutoCAD(sOnLayerArray[i], oAcadDoc);
            tile->InitialSetting(i, c.FraOne, c.FraBar, c.ImgOne, c.CmdView, c.CmdFreeze, c.CmdLock,
                                 c.CmdColor, c.CboLineType, c.TxtOne,
                                 qint32(std::nearbyint(ControlGeometry::Width(PicMain))), this);
        }

        RefreshPhases::mark("tiles built");
        // The overviews' files were read and checked on the worker while the tiles were
        // built: a whole drawing's took the window longer than it may stop. A damaged one
        // ends the refresh here with the error its loading gave.
        const auto answer = [this] {
            QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
            pr_subStopIfClosing();
        };
        basDWF::pu_subAwaitPicture(all, answer);
        basDWF::pu_subAwaitPicture(part, answer);
        RefreshPhases::mark("overviews checked");
        pu_oAcadApp->RunMacro(bAll ? kMacroAllLayer : kMacroViewLayer);
        RefreshPhases::mark("layer macro");
        folderPictures.sweep();
        RefreshPhases::mark("pictures not rewritten removed");

        WorkFolder::LayerPictures pictures;
        for (qint32 i = 1; i <= m; ++i) {
            pr_subProgressStep();
            const QString path = pictures.find(prvOnLayerArray[i]);
            // A layer without a picture (not in the drawing, or a name no file can
            // carry) keeps what its image showed, without a word.
            if (path.isEmpty())
                continue;
            const TileControls c = grid.tileControls(i);
            if (!c.ImgOne || !c.FraOne || !c.TxtOne || !c.CmdView)
                throw platform::vbError(platform::vberr::ControlNotFound,
                                        QStringLiteral("ImgOne%1").arg(i));
            // Most tiles lie outside the visible part of the grid: their records are
            // played when a tile is first painted, not here.
            basDWF::pu_subLoadPicture(*c.ImgOne, path, metafile::MetafilePicture::Play::Deferred);
            const double txtHeight = ControlGeometry::Height(c.TxtOne);
            basDWF::pu_subPictureFit(
                *c.ImgOne, *c.FraOne,
                qint32(std::nearbyint(txtHeight + ControlGeometry::Height(c.CmdView))),
                qint32(std::nearbyint(txtHeight)));
        }

        RefreshPhases::mark("layer pictures loaded");
        if (bAll && n == m) {
            states.all();
            bStatesChanged = false;
            oAcadDoc->Regen(acad::acAllViewports);
        }
    } catch (...) {
        if (bStatesChanged) {
            std::vector<typLayerState> notRestored = states.rest();
            try {
                oAcadDoc->Regen(acad::acAllViewports);
            } catch (const std::exception&) {
            }
            if (!notRestored.empty()) {
                QStringList names;
                for (const typLayerState& rec : notRestored)
                    names << rec.sName;
                reportLayersNotRestored(names);
                m_unrestored.keep(m_sRefreshedDrawing, std::move(notRestored));
            }
        }
        throw;
    }

    for (qint32 i = 1; i <= m; ++i) {
        pr_subProgressStep();
        const ErrorReport::AboutLayer about(sOnLayerArray[i]);
        proDWF[std::size_t(i)]->SetLayerState();
    }

    RefreshPhases::mark("states back, tile states read");
    prbShowEnd = true;
    Form_Resize();
    RefreshPhases::mark("layout");

    pr_subLayerCountShow(*proAcadDoc, prvAllLayerArray, prvOnLayerArray);

    StatusMain->showMessage(proAcadDoc->Name() + QStringLiteral(" [") +
                            QTime::currentTime().toString(QStringLiteral("HH:mm")) +
                            QStringLiteral("] 更新"));

    pu_bUpdateEnd = true;
    frmSplash::Unload();
    RefreshPhases::mark("counts and status");
}

void frmWMF::pr_subLayerCountShow(acad::AcadDocument& oAcadDoc, const QStringList& sAllLayerArray,
                                  const QStringList& sOnLayerArray) {
    auto countText = [&oAcadDoc](const QString& heading, const QStringList& names) {
        const qint32 objects = pu_fun_lnObjectCount(oAcadDoc, QVariant(names));
        return heading + QStringLiteral("\r\n画層数:") + QString::number(names.size() - 1) +
               QStringLiteral(" ｵﾌﾞｼﾞｪｸﾄ数:") + QString::number(objects);
    };
    TxtALL->setText(countText(QStringLiteral("全ての画層"), sAllLayerArray));
    TxtPart->setText(countText(QStringLiteral("表示中の画層"), sOnLayerArray));
}
