// The tile's commands: what a click on its picture, its state buttons, its swatch or its
// linetype box does to the drawing, the tile and the window.

#include "clsDWF.h"

#include "LayerStateRecorder.h"
#include "TileHost.h"
#include "acad/AcadDocument.h"
#include "acad/AcadLayers.h"
#include "automation/CadErrorNumbers.h"
#include "platform/ErrorReport.h"
#include "platform/ErrorTrap.h"
#include "platform/MsgBox.h"
#include "platform/VbError.h"
#include "platform/VbErrorText.h"
#include "platform/VbImage.h"
#include "platform/VbPictureBox.h"

namespace {

acad::AcadDocument& drawing(const std::shared_ptr<acad::AcadDocument>& doc) {
    if (!doc)
        throw platform::vbError(platform::vberr::ObjectNotSet);
    return *doc;
}

TileHost& window(TileHost* host) {
    if (!host)
        throw platform::vbError(platform::vberr::ObjectNotSet);
    return *host;
}

void showFrozenLayerMessage() {
    ErrorReport::show(QStringLiteral("フリーズされた画層をアクティブにすることはできません") +
                          QLatin1Char('\r'),
                      platform::vbOKOnly | platform::vbExclamation);
}

} // namespace

struct clsDWF::StateButton {
    const char* procedure;
    bool clsDWF::*flag;
    LayerStateProperty property;
    QPointer<platform::VbImage> clsDWF::*button;
    TileHost::StatePicture on, off;
    // The name of the step on the way back, for the new state True / False.
    const char* stepOn;
    const char* stepOff;
};

LayerStateRecorder::Sink clsDWF::pr_fun_StepSink() const {
    TileHost* host = m_host;
    return [host](LayerStateStep&& step) {
        if (host)
            host->recordLayerStep(std::move(step));
    };
}

void clsDWF::pr_subConnectEvents() {
    m_events = std::make_unique<QObject>();
    QObject* owner = m_events.get();
    if (pr_oImgOne) {
        QObject::connect(pr_oImgOne, &platform::VbImage::MouseDown, owner,
                         [this](int button, int shift, double x, double y) {
                             pr_oImgOne_MouseDown(button, shift, x, y);
                         });
        QObject::connect(pr_oImgOne, &platform::VbImage::Click, owner,
                         [this] { pr_oImgOne_Click(); });
        QObject::connect(pr_oImgOne, &platform::VbImage::DblClick, owner,
                         [this] { pr_oImgOne_DblClick(); });
    }
    if (pr_oCmdView)
        QObject::connect(pr_oCmdView, &platform::VbImage::Click, owner,
                         [this] { pr_oCmdView_Click(); });
    if (pr_oCmdFreeze)
        QObject::connect(pr_oCmdFreeze, &platform::VbImage::Click, owner,
                         [this] { pr_oCmdFreeze_Click(); });
    if (pr_oCmdLock)
        QObject::connect(pr_oCmdLock, &platform::VbImage::Click, owner,
                         [this] { pr_oCmdLock_Click(); });
    if (pr_oCmdColor)
        QObject::connect(pr_oCmdColor, &platform::VbPictureBox::Click, owner,
                         [this] { pr_oCmdColor_Click(); });
    // Chosen by the user from the list only: a text set by the tile itself, typed text
    // and the wheel run no command.
    if (pr_oCboLineType)
        QObject::connect(pr_oCboLineType, &platform::VbComboBox::Click, owner,
                         [this] { pr_oCboLineType_Click(); });
}

bool clsDWF::pr_fun_bCommandsOpen() const {
    return prbEnableEvent && pu_bUpdateEnd;
}

void clsDWF::pr_subStateButtonClick(const StateButton& b) {
    if (!pr_fun_bCommandsOpen())
        return;
    ErrorTrap::trapLayerCommand(QString::fromLatin1(b.procedure), [&] {
        // The cached flag follows the drawing: it changes only once the CAD took the new
        // state, so a failed write leaves the tile, its picture and the drawing agreeing
        // and the next click asks for the same change again.
        const bool wanted = !(this->*b.flag);
        acad::AcadDocument& doc = drawing(proDoc);
        acad::AcadLayer oLayer = doc.Layers().Item(prsLayerName);
        LayerStateRecorder step(QString::fromUtf8(wanted ? b.stepOn : b.stepOff),
                                pr_fun_StepSink());
        step.set(oLayer, b.property, wanted);
        this->*b.flag = wanted;
        if (platform::VbImage* button = (this->*b.button).data())
            button->setPicture(window(m_host).statePicture(wanted ? b.on : b.off));
        doc.Regen(acad::acAllViewports);
    });
}

void clsDWF::pr_oCmdView_Click() {
    pr_subStateButtonClick({"pr_oCmdView_Click", &clsDWF::m_bLayerOn, LayerStateProperty::LayerOn,
                            &clsDWF::pr_oCmdView, TileHost::StatePicture::ViewOn,
                            TileHost::StatePicture::ViewOff, "画層表示", "画層非表示"});
}

void clsDWF::pr_oCmdFreeze_Click() {
    pr_subStateButtonClick({"pr_oCmdFreeze_Click", &clsDWF::m_bAllViewportFreaze,
                            LayerStateProperty::Freeze, &clsDWF::pr_oCmdFreeze,
                            TileHost::StatePicture::FreezeOn, TileHost::StatePicture::FreezeOff,
                            "フリーズ", "フリーズ解除"});
}

void clsDWF::pr_oCmdLock_Click() {
    pr_subStateButtonClick({"pr_oCmdLock_Click", &clsDWF::m_bLock, LayerStateProperty::Lock,
                            &clsDWF::pr_oCmdLock, TileHost::StatePicture::LockOn,
                            TileHost::StatePicture::LockOff, "ロック", "ロック解除"});
}

void clsDWF::pr_oCmdColor_Click() {
    // The swatch only shows the layer's colour; the colour is not changed from a tile.
}

void clsDWF::pr_oCboLineType_Click() {
    if (!pr_fun_bCommandsOpen())
        return;
    ErrorTrap::trapLayerCommand(QStringLiteral("pr_oCboLineType_Click"), [&] {
        if (!pr_oCboLineType)
            throw platform::vbError(platform::vberr::ObjectNotSet);
        acad::AcadDocument& doc = drawing(proDoc);
        acad::AcadLayer oLayer = doc.Layers().Item(prsLayerName);
        LayerStateRecorder step(QStringLiteral("線種変更"), pr_fun_StepSink());
        step.setLinetype(oLayer, pr_oCboLineType->currentText());
        doc.Regen(acad::acAllViewports);
    });
}

void clsDWF::pr_oImgOne_MouseDown(int, int iShift, double, double) {
    ErrorTrap::trap(QStringLiteral("pr_oImgOne_MouseDown"), [&] {
        if (prbSelect)
            ResetSelect();
        else
            SelectView();
        // Shift alone adds to the selection; any other key, or none, starts it anew.
        if (iShift != 1)
            window(m_host).pu_subResetSelect(prlnIndex);
    });
}

void clsDWF::pr_oImgOne_Click() {
    ErrorTrap::trapLayerCommand(QStringLiteral("pr_oImgOne_Click"),
                                [&] { window(m_host).selectOnlyListItem(prlnIndex - 1); });
}

void clsDWF::pr_oImgOne_DblClick() {
    ErrorTrap::trapLayerCommand(
        QStringLiteral("pr_oImgOne_DblClick"),
        [&] {
            TileHost& host = window(m_host);
            switch (host.doubleClickAction()) {
            case TileHost::DoubleClickAction::MakeCurrent: {
                acad::AcadDocument& doc = drawing(proDoc);
                LayerStateRecorder step(QStringLiteral("現在層"), pr_fun_StepSink());
                step.setActiveLayer(doc, prsLayerName);
                host.pu_subActiveLayerUpdate();
                host.bringCadToFront();
                break;
            }
            case TileHost::DoubleClickAction::ExclusiveView: {
                acad::AcadDocument& doc = drawing(proDoc);
                acad::AcadLayers layers = doc.Layers();
                LayerStateRecorder step(QStringLiteral("排他表示"), pr_fun_StepSink());
                // Every layer off in the drawing's own order, the current
                // one too; freeze and lock stay as they are.
                for (acad::AcadLayer oLayer : layers)
                    step.setLayerOn(oLayer, false);
                acad::AcadLayer oChosen = layers.Item(prsLayerName);
                step.setLayerOn(oChosen, true);
                doc.Regen(acad::acAllViewports);
                host.pu_subCtrlViewUpdate();
                break;
            }
            case TileHost::DoubleClickAction::None:
                break;
            }
        },
        {{caderr::FrozenLayerCurrent, showFrozenLayerMessage}});
}
