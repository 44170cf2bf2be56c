// The tile's commands: what a click on its picture, its state buttons, its swatch or its
// linetype box does to the drawing, the tile and the window.

#include "clsDWF.h"

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
    platform::MsgBox(QStringLiteral("フリーズされた画層をアクティブにすることはできません") +
                         QLatin1Char('\r'),
                     platform::vbOKOnly | platform::vbExclamation, ErrorReport::kTitle);
}

} // namespace

struct clsDWF::StateButton {
    const char* procedure;
    bool clsDWF::*flag;
    void (acad::AcadLayer::*write)(bool);
    QPointer<platform::VbImage> clsDWF::*button;
    TileHost::StatePicture on, off;
};

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
    // Chosen by the user only: a text set by the tile itself runs no command.
    if (pr_oCboLineType)
        QObject::connect(pr_oCboLineType, &QComboBox::activated, owner,
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
        (oLayer.*b.write)(wanted);
        this->*b.flag = wanted;
        if (platform::VbImage* button = (this->*b.button).data())
            button->setPicture(window(m_host).statePicture(wanted ? b.on : b.off));
        doc.Regen(acad::acAllViewports);
    });
}

void clsDWF::pr_oCmdView_Click() {
    pr_subStateButtonClick({"pr_oCmdView_Click", &clsDWF::m_bLayerOn, &acad::AcadLayer::setLayerOn,
                            &clsDWF::pr_oCmdView, TileHost::StatePicture::ViewOn,
                            TileHost::StatePicture::ViewOff});
}

void clsDWF::pr_oCmdFreeze_Click() {
    pr_subStateButtonClick({"pr_oCmdFreeze_Click", &clsDWF::m_bAllViewportFreaze,
                            &acad::AcadLayer::setFreeze, &clsDWF::pr_oCmdFreeze,
                            TileHost::StatePicture::FreezeOn, TileHost::StatePicture::FreezeOff});
}

void clsDWF::pr_oCmdLock_Click() {
    pr_subStateButtonClick({"pr_oCmdLock_Click", &clsDWF::m_bLock, &acad::AcadLayer::setLock,
                            &clsDWF::pr_oCmdLock, TileHost::StatePicture::LockOn,
                            TileHost::StatePicture::LockOff});
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
        doc.Layers().Item(prsLayerName).setLinetype(pr_oCboLineType->currentText());
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
    ErrorTrap::trapLayerCommand(QStringLiteral("pr_oImgOne_DblClick"),
                                [&] {
                                    TileHost& host = window(m_host);
                                    switch (host.doubleClickAction()) {
                                    case TileHost::DoubleClickAction::MakeCurrent: {
                                        acad::AcadDocument& doc = drawing(proDoc);
                                        doc.setActiveLayer(doc.Layers().Item(prsLayerName));
                                        host.pu_subActiveLayerUpdate();
                                        host.bringCadToFront();
                                        break;
                                    }
                                    case TileHost::DoubleClickAction::ExclusiveView: {
                                        acad::AcadDocument& doc = drawing(proDoc);
                                        acad::AcadLayers layers = doc.Layers();
                                        // Every layer off in the drawing's own order, the current
                                        // one too; freeze and lock stay as they are.
                                        for (acad::AcadLayer oLayer : layers)
                                            oLayer.setLayerOn(false);
                                        layers.Item(prsLayerName).setLayerOn(true);
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
