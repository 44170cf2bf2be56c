#pragma once

#include "export/ExportHost.h"
#include "tiles/LayerStateRecorder.h"
#include "tiles/TileHost.h"
#include "viewer/UnrestoredLayerStates.h"

#include <QElapsedTimer>
#include <QString>
#include <QStringList>
#include <QWidget>
#include <cstdint>
#include <exception>
#include <memory>
#include <optional>
#include <vector>

class QAction;
class QCheckBox;
class QCloseEvent;
class QComboBox;
class QGroupBox;
class QLineEdit;
class QRadioButton;
class QScrollBar;
class QStatusBar;
class QTimer;
class QToolBar;
class QUndoStack;
class LayerHistory;
class LayerStateSet;

namespace platform {
class VbComboBox;
class VbFrame;
class VbImage;
class VbListBox;
class VbPictureBox;
class VbTextBox;
} // namespace platform

namespace acad {
class AcadDocument;
}

// The tile of one layer; its class lives with the tiles and is only held here.
class clsDWF;
// The tile controls made at run time, by name (tiles/TileGrid.h).
class TileGrid;

// The viewer's one main window. Controls keep their design names as objectName and as
// members; positions are twips in the client area (design 10710 x 8235). The window's
// own Left/Top/Width/Height are those of its outer frame. Commands are split over
// files by family: frame and layout here and in frmWMF_Layout.cpp, the toolbar in
// frmWMF_Toolbar.cpp, load/unload in frmWMF_Load.cpp, the refresh in
// frmWMF_Refresh.cpp, the layer list and its commands in frmWMF_LayerCommands.cpp.
class frmWMF : public QWidget, public TileHost, public ExportHost {
    Q_OBJECT
public:
    explicit frmWMF(QWidget* parent = nullptr);
    ~frmWMF() override;

    // Runs once after construction: settings, position, show, command line, zoom
    // list, foreground, and the refresh when a list file was named. sCommand is the
    // whole argument text after the program's name.
    void Form_Load(const QString& sCommand);
    // Position to the settings file, work folder removed. Runs from closeEvent, once.
    void Form_Unload();
    // Control layout, then (once a refresh has finished) tile placement, caption and
    // scroll range. Called on every resize and by the commands that change the grid.
    void Form_Resize();

    void pu_subCmdRefresh_Click();
    // True from the start of a refresh until it has ended, whichever way.
    bool refreshRunning() const { return m_refreshRunning; }
    void Toolbar1_ButtonClick(int index);

    // The viewer rebuild (frmWMF_FormShow.cpp): pictures, tiles and states for the layers
    // sOnLayerArray[1..m] of oAcadDoc; both lists keep element 0 empty. Passes every
    // error of its own steps on to the refresh, after putting the drawing's layer states
    // back if it had changed them.
    void pu_subFormShow(std::shared_ptr<acad::AcadDocument> oAcadDoc,
                        const QStringList& sAllLayerArray, const QStringList& sOnLayerArray,
                        bool bAll);
    // The grid's run-time controls, found by name.
    TileGrid* tileGrid() const;

    // Window geometry in twips, as a form's Left/Top/Width/Height (outer frame).
    double Left() const;
    double Top() const;
    double Width() const;
    double Height() const;
    void setLeft(double twips);
    void setTop(double twips);
    void setWidth(double twips);
    void setHeight(double twips);

    // Toolbar button by its 1-based index (separators and placeholders included).
    QAction* toolbarButton(int index) const;
    static constexpr int kToolbarButtons = 17;
    // The most tiles a refresh makes: tiles are numbered as the original numbered them,
    // in 16 bits, and the grid of so many is already more than a screen can make sense of.
    static constexpr qint32 kMaxTiles = 32767;
    // The smallest outer size the window keeps (twips).
    static constexpr double kMinWidth = 3090;
    static constexpr double kMinHeight = 4380;

    // Any control by its design name (tile controls made at run time included).
    template <class T> T* control(const QString& name) const { return findChild<T*>(name); }

    // Controls, by their design names.
    QToolBar* Toolbar1 = nullptr;
    QComboBox* CboZoom = nullptr;
    platform::VbFrame* FraALL = nullptr;
    platform::VbImage* ImgALL = nullptr;
    platform::VbTextBox* TxtALL = nullptr;
    platform::VbFrame* FraPart = nullptr;
    platform::VbImage* ImgPart = nullptr;
    platform::VbTextBox* TxtPart = nullptr;
    platform::VbListBox* LstLayers = nullptr;
    platform::VbListBox* LstLayersSort = nullptr;
    QGroupBox* FraViewDblClick = nullptr;
    QRadioButton* OptDblClickActive = nullptr;
    QRadioButton* OptDblClickExclusiveView = nullptr;
    QCheckBox* ChkViewOnly = nullptr;
    platform::VbPictureBox* PicMain = nullptr;
    QScrollBar* ScrBarV = nullptr;
    QStatusBar* StatusMain = nullptr;

    // The six hidden state pictures the tiles copy onto their buttons.
    platform::VbImage* CmdViewOn = nullptr;
    platform::VbImage* CmdViewOff = nullptr;
    platform::VbImage* CmdFreezeOn = nullptr;
    platform::VbImage* CmdFreezeOff = nullptr;
    platform::VbImage* CmdLockOn = nullptr;
    platform::VbImage* CmdLockOff = nullptr;

    // Tile 1's controls: the design-time template the grid reuses at every refresh.
    platform::VbFrame* FraOne1 = nullptr;
    platform::VbFrame* FraBar1 = nullptr;
    platform::VbImage* ImgOne1 = nullptr;
    platform::VbImage* CmdView1 = nullptr;
    platform::VbImage* CmdFreeze1 = nullptr;
    platform::VbImage* CmdLock1 = nullptr;
    platform::VbPictureBox* CmdColor1 = nullptr;
    platform::VbComboBox* CboLineType1 = nullptr;
    platform::VbTextBox* TxtOne1 = nullptr;

    // Upper bound of proDWF as VB reports it: 0 before any tile exists.
    int proDWFUBound() const { return proDWF.empty() ? 0 : int(proDWF.size()) - 1; }
    // Tile i (1..proDWFUBound()); nullptr outside.
    clsDWF* tile(int i) const;

    // The layer-list file the next refresh reads; Form_Load takes it from the command
    // line, and the refresh forgets it once read.
    void setLayerListFile(const QString& sPath) { prsCsvPath = sPath; }
    // The drawing the next refresh opens in the CAD before it reads the active one;
    // Form_Load takes it from the command line.
    QString drawingToOpen() const { return m_sDrawingToOpen; }

    // The window's own state, read-only, for tests and diagnostics.
    struct StateView {
        const QString& prsIniFile;
        const QString& prsCsvPath;
        const std::shared_ptr<acad::AcadDocument>& proAcadDoc;
        qint32 prlnDWFCount;
        bool prbShowEnd;
        float prsnAllRatio;
        const QStringList& prvAllLayerArray;
        const QStringList& prvOnLayerArray;
    };
    StateView state() const {
        return {prsIniFile, prsCsvPath,   proAcadDoc,       prlnDWFCount,
                prbShowEnd, prsnAllRatio, prvAllLayerArray, prvOnLayerArray};
    }

    // What the tiles ask of their window (frmWMF_LayerList.cpp and frmWMF.cpp).
    platform::VbPicturePtr statePicture(StatePicture which) const override;
    TileLayout::Rect overviewPictureGeometry() const override;
    DoubleClickAction doubleClickAction() const override;
    void pu_subResetSelect(qint32 iIndex) override;
    void pu_subActiveLayerUpdate() override;
    std::optional<QString> knownCurrentLayer() const override { return m_knownCurrentLayer; }
    bool isRowInView(qint32 row) const override;
    void pu_subCtrlViewUpdate() override;
    void selectOnlyListItem(qint32 iListIndex) override;
    void bringCadToFront() override;
    void recordLayerStep(LayerStateStep&& step) override;

    // The way back through the layer commands (frmWMF_History.cpp): the steps, and the
    // two buttons after the toolbar's described ones that walk them (Ctrl+Z, Ctrl+Y).
    QUndoStack* layerSteps() const;
    QAction* undoButton() const { return m_undoButton; }
    QAction* redoButton() const { return m_redoButton; }
    // The field after those buttons that selects layers by name (frmWMF_LayerSearch.cpp).
    QLineEdit* layerSearch() const;
    // Does now what the last search left for the window's next turn: the grid's scroll
    // and the marks of the tiles out of view.
    void pr_subLayerSearchMarkAll();

    // What the export asks of its window (frmWMF_Export.cpp).
    QString layerPicturePath(const QString& sLayerName) override;
    bool openWorkbook(const QString& sPath) override;
    void showStatusText(const QString& sText) override;

    // The window id the window helpers take for this window.
    std::uint32_t hWnd() const;

protected:
    void resizeEvent(QResizeEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    // Window state the refresh, the grid and the list commands share.
    QString prsIniFile;
    QString prsCsvPath;
    QString m_sDrawingToOpen;
    // The file of the drawing the refresh that runs reads.
    QString m_sRefreshedDrawing;
    UnrestoredLayerStates m_unrestored;
    std::shared_ptr<acad::AcadDocument> proAcadDoc;
    // Tiles 1..n; element 0 stays empty so that proDWF[i] is tile i.
    std::vector<std::shared_ptr<clsDWF>> proDWF;
    qint32 prlnDWFCount = 0;
    bool prbShowEnd = false;
    float prsnAllRatio = 0;
    // The two name lists of the last rebuild (element 0 empty).
    QStringList prvAllLayerArray;
    QStringList prvOnLayerArray;

    void pr_subCreateControls();
    void pr_subCreateTileTemplate();
    void pr_subCreateStateImages();
    void pr_subCreateToolbar();
    void pr_subAlignBars();
    void pr_subCtrlLayout();
    void pr_subZoomListSet();
    void pr_subWaitForFrame();
    void CmdRefresh_Click();
    void pr_subRefreshOnce();
    // Thrown at a refresh's next step once the window is asked to close.
    struct RefreshStopped : std::exception {};
    void pr_subStopIfClosing();
    // Refresh steps from taking the document to handing the lists to the rebuild
    // (frmWMF_RefreshLayers.cpp).
    void pr_subRefreshLayers();
    void pr_subSortNames(QStringList& sNames);
    bool pr_fun_bTooManyLayers(qint32 lnCount);
    void pr_subReportTooLongNames(qint32 lnCount);
    void pr_subLayerListFill(const QStringList& sOnLayerArray);
    void pr_subTileClear();
    void pr_subProgressStep();
    void pr_subLayerCountShow(acad::AcadDocument& oAcadDoc, const QStringList& sAllLayerArray,
                              const QStringList& sOnLayerArray);
    void ScrBarV_Change();
    // Places the tiles for the grid scrolled down by iTopScrol rows. A scroll of a grid
    // placed before moves only the rows that were or come into view: the others lie
    // out of sight either way, and moving thousands of them cost a frame each step.
    void pr_subPlaceTiles(int iTopScrol, bool bOnlyInView = false);
    // The rows (1-based, first to last) whose tiles are shown with the grid scrolled
    // down by iTopScrol rows; the others are hidden.
    struct ShownRows {
        qint32 first;
        qint32 last;
    };
    ShownRows pr_fun_shownRows(qint32 iTopScrol) const;

    // The layer list and the commands on the layers it names (frmWMF_LayerCommands.cpp).
    // The drawing commands skip what fails, so before the first refresh they do nothing.
    void pr_subConnectLayerList();
    void pr_subCreateHistoryTools();
    LayerStateRecorder::Sink pr_fun_StepSink();
    void pr_subHistoryFollowDrawing(const QString& sFullName);
    void pr_subLayerUndo();
    void pr_subLayerRedo();
    void pr_subCreateLayerSearch();
    void pr_subLayerSearch(const QString& sPattern);
    void pr_subLayerSearchNext();
    void pr_subLayerSearchShow(int k);
    void pr_subLayerSearchMark(int row);
    void pr_subLayerSearchMarkSlice();
    void pr_subLayerSearchScrollGrid();
    // The user marks tiles himself: the search's marks still to come are dropped.
    void pr_subLayerSearchStopMarking();
    // Scrolls the grid so that the list's current item's tile is in view.
    void pr_subScrollGridToListIndex();
    // Named layer-state sets (frmWMF_LayerStates.cpp).
    void pr_subCreateLayerStateMenu();
    QString pr_fun_sLayerStateDrawing();
    std::optional<QString> pr_fun_AskLayerStateName(const QString& sDrawing,
                                                    const QString& sCaption,
                                                    const QString& sSuggested);
    void pr_subLayerStateKeep(const QString& sDrawing, const QString& sName,
                              const LayerStateSet& set);
    void pr_subLayerStateSave();
    void pr_subLayerStateRestore();
    std::optional<LayerStateSet> pr_fun_ChooseSavedLayerState(const QString& sCaption,
                                                              QString* sChosen = nullptr);
    void pr_subLayerStateApply(const LayerStateSet& set);
    void pr_subLayerStateExport();
    void pr_subLayerStateImport();
    void LstLayers_KeyDown(int keyCode, Qt::KeyboardModifiers shift);
    void LstLayers_Click();
    void pr_subSelectLayerSet(const QString& sMode);
    void pr_subAllLayerOn();
    void pr_subAllLayerOff();
    void pr_subAllLayerSet(bool bOn);
    void CmdSelectRemove_Click();
    // Opens the export dialog for the layers chosen in the list.
    void pr_subExportExcel();
    // The overview's zoom, fit and drag, with the part overview and the tiles following
    // (frmWMF_Overview.cpp).
    void pr_subOverviewEventsConnect();
    void pr_subZoom(const QString& sDirection);
    void pr_subZoomIn();
    void pr_subZoomOut();
    void pr_subZoomFit();
    void pr_subPartImageUpdate();
    void ImgALL_MouseDown(int iButton, int iShift, double x, double y);
    void ImgALL_MouseMove(int iButton, int iShift, double x, double y);
    void ImgALL_MouseUp(int iButton, int iShift, double x, double y);
    // 1 while a button is held down on ImgALL; where it went down, in whole twips.
    qint16 priDrag = 0;
    qint32 prlnDragX = 0;
    qint32 prlnDragY = 0;

    std::vector<QAction*> m_toolbarButtons;
    LayerHistory* m_layerHistory = nullptr;
    QAction* m_undoButton = nullptr;
    QAction* m_redoButton = nullptr;
    QLineEdit* m_layerSearch = nullptr;
    QAction* m_layerStateSave = nullptr;
    QAction* m_layerStateRestore = nullptr;
    // The list rows the search field matched, and the one Enter showed last.
    std::vector<int> m_searchMatches;
    int m_searchCursor = -1;
    // Which rows the last search selected, and the tiles out of view still to mark.
    std::vector<bool> m_searchWanted;
    std::vector<int> m_searchMarkPending;
    QTimer* m_searchMarkTimer = nullptr;
    QTimer* m_searchScrollTimer = nullptr;
    mutable std::shared_ptr<TileGrid> m_tileGrid;
    qint32 m_progressCount = 0;
    qint32 m_progressTotal = 0;
    QString m_sProgressName;
    QElapsedTimer m_messageClock;
    qint64 m_messageWaitMs = 0;
    bool m_unloaded = false;
    bool m_refreshRunning = false;
    // What the last placement of every tile assumed; a scroll from there moves only
    // the rows in view (see pr_subPlaceTiles).
    struct PlacedGrid {
        qint32 width = 0;
        qint32 height = 0;
        int tiles = 0;
        double tileWidth = 0;
        double tileHeight = 0;
        int top = 0;
        bool operator==(const PlacedGrid&) const = default;
    };
    std::optional<PlacedGrid> m_placedGrid;
    // The current layer while every tile is marked at once (a rebuild, an update of
    // all tiles): one call to the CAD for the grid rather than one per tile.
    std::optional<QString> m_knownCurrentLayer;
    bool m_closeRequested = false;
    bool m_refreshStopping = false;
    bool m_inLayout = false;
};
