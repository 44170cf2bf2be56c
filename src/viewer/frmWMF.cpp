#include "frmWMF.h"

#include "ViewerIcons.h"
#include "acad/StatusWindow.h"
#include "app/frmSplash.h"
#include "platform/ControlGeometry.h"
#include "platform/ManySiblings.h"
#include "platform/Twips.h"
#include "platform/VbColor.h"
#include "platform/VbComboBox.h"
#include "platform/VbFrame.h"
#include "platform/VbImage.h"
#include "platform/VbListBox.h"
#include "platform/VbPictureBox.h"
#include "platform/VbTextBox.h"
#include "platform/WheelScroll.h"
#include "tiles/TileLayout.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QRadioButton>
#include <QScrollBar>
#include <QStatusBar>
#include <QToolBar>

using platform::ControlGeometry;

namespace {

template <class T> T* named(T* control, const char* name) {
    control->setObjectName(QString::fromLatin1(name));
    return control;
}

void place(QWidget* control, double left, double top, double width, double height) {
    ControlGeometry::Move(control, left, top, width, height);
}

void place(QWidget* control, const TileLayout::Rect& r) {
    ControlGeometry::Move(control, r.left, r.top, r.width, r.height);
}

} // namespace

frmWMF::frmWMF(QWidget* parent) : QWidget(parent) {
    // The grid's tiles are thousands of sibling widgets; constructed first thing in
    // the program, the window is in time for the first paint.
    platform::paintManySiblingsCheaply();
    setObjectName(QStringLiteral("frmWMF"));
    setWindowTitle(QStringLiteral("画層ビューワ"));
    setAttribute(Qt::WA_DeleteOnClose, false);
    // The design client area; Form_Load then puts the window where it was last time.
    resize(ControlGeometry::sizePixels(10710), ControlGeometry::sizePixels(8235));
    pr_subCreateControls();
    pr_subCreateToolbar();
    pr_subCreateHistoryTools();
    pr_subCreateLayerSearch();
    pr_subCreateLayerStateMenu();
    pr_subConnectLayerList();
    pr_subOverviewEventsConnect();
    // Starting the CAD from a refresh shows the viewer's own status window.
    acad::setStatusWindow({frmSplash::pu_subShow, frmSplash::Unload});
}

frmWMF::~frmWMF() = default;

void frmWMF::pr_subCreateControls() {
    // It only sorts: lying behind FraALL is not enough, since the overview's picture box
    // is transparent and hidden while it is fitted, so the list would show through and,
    // shown, take the keyboard from the real list.
    LstLayersSort = named(new platform::VbListBox(true, this), "LstLayersSort");
    place(LstLayersSort, 90, 450, 1005, 1260);
    LstLayersSort->setFocusPolicy(Qt::NoFocus);
    LstLayersSort->hide();

    auto makeOverview = [this](const char* fra, const char* img, const char* txt, double left,
                               platform::VbFrame*& frame, platform::VbImage*& image,
                               platform::VbTextBox*& text) {
        frame = named(new platform::VbFrame(this), fra);
        place(frame, left, 420, 2565, 2895);
        image = named(new platform::VbImage(frame), img);
        place(image, 0, 30, 2535, 2415);
        text = named(new platform::VbTextBox(true, frame), txt);
        place(text, 0, 2460, 2565, 435);
        text->setBackColor(0xFFFFFF);
        // The layer and object counts, which may run to six figures and more.
        text->setFitText(true);
    };
    makeOverview("FraALL", "ImgALL", "TxtALL", 60, FraALL, ImgALL, TxtALL);
    TxtALL->setText(QStringLiteral("更新ボタンをクリックしてください\r\n"));
    makeOverview("FraPart", "ImgPart", "TxtPart", 2970, FraPart, ImgPart, TxtPart);
    // Shown by the refresh only when not every layer is on view; until then the
    // layer list stands in its place.
    FraPart->hide();

    LstLayers = named(new platform::VbListBox(false, this), "LstLayers");
    LstLayers->setSelectionMode(QAbstractItemView::ExtendedSelection);
    place(LstLayers, 2970, 420, 2625, 2880);

    FraViewDblClick =
        named(new QGroupBox(QStringLiteral("画面ダブルクリック時動作"), this), "FraViewDblClick");
    place(FraViewDblClick, 5820, 480, 3855, 1065);
    OptDblClickActive = named(
        new QRadioButton(QStringLiteral("画層をｱｸﾃｨﾌﾞにしてAutoCADを前面にする"), FraViewDblClick),
        "OptDblClickActive");
    place(OptDblClickActive, 180, 300, 3555, 255);
    OptDblClickActive->setChecked(true);
    OptDblClickExclusiveView = named(
        new QRadioButton(QStringLiteral("当該画層以外非表示にする（排他表示）"), FraViewDblClick),
        "OptDblClickExclusiveView");
    place(OptDblClickExclusiveView, 180, 660, 3405, 255);

    ChkViewOnly =
        named(new QCheckBox(QStringLiteral("現在表示設定となっている画層のみをプレビュー"), this),
              "ChkViewOnly");
    place(ChkViewOnly, 5850, 1740, 4275, 255);
    ChkViewOnly->setChecked(false);

    PicMain = named(new platform::VbPictureBox(this), "PicMain");
    place(PicMain, 30, 3480, 5625, 4425);
    pr_subCreateStateImages();
    pr_subCreateTileTemplate();

    ScrBarV = named(new QScrollBar(Qt::Vertical, this), "ScrBarV");
    place(ScrBarV, 5400, 3510, 255, 4395);
    ScrBarV->setRange(1, 1);
    connect(ScrBarV, &QScrollBar::valueChanged, this, [this] { ScrBarV_Change(); });
    new platform::WheelScroll(PicMain, ScrBarV);

    StatusMain = named(new QStatusBar(this), "StatusMain");
    StatusMain->setSizeGripEnabled(false);
    place(StatusMain, 0, 7950, 10710, 285);
}

void frmWMF::pr_subCreateStateImages() {
    const QSize iconSize(13, 13);
    auto make = [this, iconSize](const char* name, const char* artwork) {
        auto* image = named(new platform::VbImage(PicMain), name);
        image->setPicture(ViewerIcons::icon(QString::fromLatin1(artwork), iconSize), iconSize);
        image->hide();
        return image;
    };
    CmdViewOn = make("CmdViewOn", "view_on");
    CmdViewOff = make("CmdViewOff", "view_off");
    CmdFreezeOn = make("CmdFreezeOn", "freeze_on");
    CmdFreezeOff = make("CmdFreezeOff", "freeze_off");
    CmdLockOn = make("CmdLockOn", "lock_on");
    CmdLockOff = make("CmdLockOff", "lock_off");
}

void frmWMF::pr_subCreateTileTemplate() {
    // Sizes and colours as the tile sets them itself, so tile 1 looks right even
    // before the tile has laid it out; hidden until a refresh places it.
    FraOne1 = named(new platform::VbFrame(PicMain), "FraOne1");
    place(FraOne1, TileLayout::kFraOne);
    FraOne1->setBackColor(0x808080);
    FraOne1->setBorderStyle(0);

    FraBar1 = named(new platform::VbFrame(FraOne1), "FraBar1");
    place(FraBar1, TileLayout::kFraBar);
    FraBar1->setBackColor(0xFFFFFF);
    FraBar1->setBorderStyle(0);

    ImgOne1 = named(new platform::VbImage(FraOne1), "ImgOne1");
    place(ImgOne1, TileLayout::kImgOne);

    CmdView1 = named(new platform::VbImage(FraBar1), "CmdView1");
    place(CmdView1, TileLayout::kCmdView);
    CmdFreeze1 = named(new platform::VbImage(FraBar1), "CmdFreeze1");
    place(CmdFreeze1, TileLayout::kCmdFreeze);
    CmdLock1 = named(new platform::VbImage(FraBar1), "CmdLock1");
    place(CmdLock1, TileLayout::kCmdLock);

    CmdColor1 = named(new platform::VbPictureBox(FraBar1), "CmdColor1");
    place(CmdColor1, TileLayout::kCmdColor);
    CmdColor1->setAppearance(0);

    // A drop-down list: its text can only be one of its items.
    CboLineType1 =
        named(new platform::VbComboBox(platform::VbComboBox::Style::DropDownList, FraBar1),
              "CboLineType1");
    const TileLayout::Rect& cboPlace = TileLayout::kCboLineType;
    ControlGeometry::Move(CboLineType1, cboPlace.left, cboPlace.top, cboPlace.width,
                          platform::pixelsToTwips(CboLineType1->sizeHint().height()));

    TxtOne1 = named(new platform::VbTextBox(false, FraOne1), "TxtOne1");
    place(TxtOne1, TileLayout::kTxtOne);
    TxtOne1->setAppearance(0);
    TxtOne1->setBorderStyle(1);

    FraOne1->hide();
}

QAction* frmWMF::toolbarButton(int index) const {
    if (index < 1 || index > int(m_toolbarButtons.size()))
        return nullptr;
    return m_toolbarButtons[std::size_t(index - 1)];
}

platform::VbPicturePtr frmWMF::statePicture(StatePicture which) const {
    // In the order of StatePicture.
    const platform::VbImage* const artwork[] = {CmdViewOn,    CmdViewOff, CmdFreezeOn,
                                                CmdFreezeOff, CmdLockOn,  CmdLockOff};
    const platform::VbImage* image = artwork[std::size_t(which)];
    return image ? image->Picture() : platform::VbPicturePtr();
}

TileLayout::Rect frmWMF::overviewPictureGeometry() const {
    return {ControlGeometry::Left(ImgALL), ControlGeometry::Top(ImgALL),
            ControlGeometry::Width(ImgALL), ControlGeometry::Height(ImgALL)};
}

TileHost::DoubleClickAction frmWMF::doubleClickAction() const {
    if (OptDblClickActive->isChecked())
        return DoubleClickAction::MakeCurrent;
    if (OptDblClickExclusiveView->isChecked())
        return DoubleClickAction::ExclusiveView;
    return DoubleClickAction::None;
}

std::uint32_t frmWMF::hWnd() const {
    return static_cast<std::uint32_t>(winId());
}
