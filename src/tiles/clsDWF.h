#pragma once

#include "LayerStateRecorder.h"
#include "platform/VbComboBox.h"
#include "platform/VbFrame.h"
#include "platform/VbImage.h"
#include "platform/VbPictureBox.h"
#include "platform/VbTextBox.h"

#include <QObject>
#include <QPointer>
#include <QString>
#include <QtGlobal>
#include <memory>

namespace acad {
class AcadDocument;
}
class TileHost;

// True once a refresh has completed; False while one runs and after one has failed. The
// tile commands do nothing while it is False.
inline bool pu_bUpdateEnd = false;

// One tile of the layer grid: the picture of one layer under its name, with the on/off,
// freeze and lock buttons, the colour swatch and the linetype box. The tile binds nine
// controls that the main window made and owns (the grid creates and removes them) and
// asks that window for the rest through its TileHost; it keeps a cached copy of its
// layer's state, identifies the layer by name only, and never outlives the next refresh.
class clsDWF {
public:
    // Read-only properties: the cache as the last SetLayerState left it.
    bool bAllViewportFreaze() const { return m_bAllViewportFreaze; }
    bool bLayerOn() const { return m_bLayerOn; }
    bool bLock() const { return m_bLock; }
    bool bNewViewportFreaze() const { return m_bNewViewportFreaze; }
    bool bPlottable() const { return m_bPlottable; }
    qint32 lnColor() const { return m_lnColor; }
    // Never filled: the tile shows no lineweight and no plot style.
    qint32 lnLineWeight() const { return m_lnLineWeight; }
    QString sLayerName() const { return prsLayerName; }
    QString sLineType() const { return m_sLineType; }
    QString sPlotStyleName() const { return m_sPlotStyleName; }
    qint32 iRow() const { return m_iRow; }
    qint32 iCol() const { return m_iCol; }

    // Loads the metafile into the tile's picture; a file that is missing or not a
    // picture raises (53 / 481), as loading a picture does.
    void SetWMF(const QString& sWMF_FullPath);
    void SetEnableEvent(bool bEnableEvent) { prbEnableEvent = bEnableEvent; }
    // Renumbers the tile only; the tooltip keeps the first number and the tile moves at
    // the next placement.
    void SetIndex(qint32 iIndex) { prlnIndex = iIndex; }

    void SetLayerState();
    void InitialSettingAutoCAD(const QString& sLayerName,
                               std::shared_ptr<acad::AcadDocument> oAcadDoc);
    void InitialSetting(qint32 iIndex, platform::VbFrame* oFraOne, platform::VbFrame* oFraBar,
                        platform::VbImage* oImgOne, platform::VbImage* oCmdView,
                        platform::VbImage* oCmdFreeze, platform::VbImage* oCmdLock,
                        platform::VbPictureBox* oCmdColor, platform::VbComboBox* oCboLineType,
                        platform::VbTextBox* oTxtOne, qint32 iPicMainWidth, TileHost* oHost);
    void pu_subUpdateLocation(qint32 iPicMainWidth, qint32 iTopScrol);
    void pu_subActiveLayerCheck();
    void pu_subImageUpdate();
    void SelectView();
    void ResetSelect();

    // The tile's commands (clsDWF_Commands.cpp), run by its controls' events. The state
    // commands do nothing while the tile's events are off or no refresh has finished.
    void pr_oImgOne_Click();
    void pr_oImgOne_DblClick();
    void pr_oImgOne_MouseDown(int iButton, int iShift, double x, double y);
    void pr_oCmdView_Click();
    void pr_oCmdFreeze_Click();
    void pr_oCmdLock_Click();
    void pr_oCmdColor_Click();
    void pr_oCboLineType_Click();

    // State the tile commands and the layer list read.
    qint32 index() const { return prlnIndex; }
    bool isSelected() const { return prbSelect; }
    bool eventsEnabled() const { return prbEnableEvent; }
    const std::shared_ptr<acad::AcadDocument>& document() const { return proDoc; }

    platform::VbFrame* FraOne() const { return pr_oFraOne; }
    platform::VbFrame* FraBar() const { return pr_oFraBar; }
    platform::VbImage* ImgOne() const { return pr_oImgOne; }
    platform::VbImage* CmdView() const { return pr_oCmdView; }
    platform::VbImage* CmdFreeze() const { return pr_oCmdFreeze; }
    platform::VbImage* CmdLock() const { return pr_oCmdLock; }
    platform::VbPictureBox* CmdColor() const { return pr_oCmdColor; }
    platform::VbComboBox* CboLineType() const { return pr_oCboLineType; }
    platform::VbTextBox* TxtOne() const { return pr_oTxtOne; }

private:
    void pr_subButtonUpdate();
    void pr_subLineTypeSet();
    void pr_subCaptionSet();
    void pr_subApplyControlSettings();
    // Ties the controls' events to the commands, for as long as this tile lives.
    void pr_subConnectEvents();
    bool pr_fun_bCommandsOpen() const;
    // One state button: the layer property it writes and the pictures it shows.
    struct StateButton;
    void pr_subStateButtonClick(const StateButton& button);
    // Where the tile's commands hand their steps of the way back: to its window.
    LayerStateRecorder::Sink pr_fun_StepSink() const;

    qint32 prlnIndex = 0;
    QString prsLayerName;
    std::shared_ptr<acad::AcadDocument> proDoc;

    bool m_bLayerOn = false;
    bool m_bAllViewportFreaze = false;
    bool m_bLock = false;
    bool m_bNewViewportFreaze = false;
    bool m_bPlottable = false;
    qint32 m_lnColor = 0;
    QString m_sLineType;
    qint32 m_lnLineWeight = 0;
    QString m_sPlotStyleName;

    bool prbSelect = false;
    bool prbEnableEvent = true;
    qint32 m_iRow = 0;
    qint32 m_iCol = 0;

    QPointer<platform::VbFrame> pr_oFraOne;
    QPointer<platform::VbFrame> pr_oFraBar;
    QPointer<platform::VbImage> pr_oImgOne;
    QPointer<platform::VbImage> pr_oCmdView;
    QPointer<platform::VbImage> pr_oCmdFreeze;
    QPointer<platform::VbImage> pr_oCmdLock;
    QPointer<platform::VbPictureBox> pr_oCmdColor;
    QPointer<platform::VbComboBox> pr_oCboLineType;
    QPointer<platform::VbTextBox> pr_oTxtOne;
    TileHost* m_host = nullptr;
    // Owns the connections of the controls' events: they end with the tile, while the
    // controls (tile 1's above all) live on.
    std::unique_ptr<QObject> m_events;
};
