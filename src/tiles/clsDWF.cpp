#include "clsDWF.h"

#include "PictureLoad.h"
#include "TileHost.h"
#include "TileLayout.h"
#include "acad/AcadDocument.h"
#include "acad/basDWF_Acad.h"
#include "basDWF.h"
#include "metafile/MetafilePicture.h"
#include "platform/ControlGeometry.h"
#include "platform/ErrorReport.h"
#include "platform/ErrorTrap.h"
#include "platform/Twips.h"
#include "platform/VbColor.h"
#include "platform/VbError.h"
#include "platform/VbErrorText.h"
#include "platform/VbFrame.h"
#include "platform/VbImage.h"
#include "platform/VbPictureBox.h"
#include "platform/VbTextBox.h"

#include <QComboBox>
#include <QLineEdit>

using platform::ControlGeometry;

namespace {

constexpr quint32 kGrey = 0x808080;
constexpr quint32 kWhite = 0xFFFFFF;
constexpr quint32 kRed = 0xFF;
constexpr quint32 kNavy = 0x800000;

// A control the tile no longer has (removed with its frame) is VB's unset object.
template <class T> T& ctl(const QPointer<T>& control) {
    if (!control)
        throw platform::vbError(platform::vberr::ObjectNotSet);
    return *control;
}

acad::AcadDocument& doc(const std::shared_ptr<acad::AcadDocument>& d) {
    if (!d)
        throw platform::vbError(platform::vberr::ObjectNotSet);
    return *d;
}

// A combo box's Text. A drop-down list only takes one of its items (found as the
// platform finds them, without regard to case); an editable box takes any text.
void setComboText(QComboBox& box, const QString& text) {
    if (box.isEditable()) {
        box.setEditText(text);
        // A name longer than the narrow box shows its beginning, not its end.
        if (box.lineEdit())
            box.lineEdit()->setCursorPosition(0);
        return;
    }
    const int index = box.findText(text, Qt::MatchFixedString);
    if (index < 0)
        throw platform::vbError(platform::vberr::PropertyReadOnly, QStringLiteral("Text"));
    box.setCurrentIndex(index);
}

TileHost& host(TileHost* h) {
    if (!h)
        throw platform::vbError(platform::vberr::ObjectNotSet);
    return *h;
}

void move(QWidget& control, const TileLayout::Rect& r) {
    ControlGeometry::Move(&control, r.left, r.top, r.width, r.height);
}

// The height every new linetype box takes: its own, measured once for the whole grid
// rather than once per tile.
double comboHeightTwips(QComboBox& box) {
    static const int pixels = box.sizeHint().height();
    return platform::pixelsToTwips(pixels);
}

} // namespace

void clsDWF::SetWMF(const QString& sWMF_FullPath) {
    // Played when the tile is first painted: most tiles are out of view.
    basDWF::pu_subLoadPicture(ctl(pr_oImgOne), sWMF_FullPath,
                              metafile::MetafilePicture::Play::Deferred);
}

void clsDWF::InitialSettingAutoCAD(const QString& sLayerName,
                                   std::shared_ptr<acad::AcadDocument> oAcadDoc) {
    prsLayerName = sLayerName;
    proDoc = std::move(oAcadDoc);
}

void clsDWF::InitialSetting(qint32 iIndex, platform::VbFrame* oFraOne, platform::VbFrame* oFraBar,
                            platform::VbImage* oImgOne, platform::VbImage* oCmdView,
                            platform::VbImage* oCmdFreeze, platform::VbImage* oCmdLock,
                            platform::VbPictureBox* oCmdColor, platform::VbComboBox* oCboLineType,
                            platform::VbTextBox* oTxtOne, qint32 iPicMainWidth, TileHost* oHost) {
    ErrorTrap::trap(QStringLiteral("InitialSetting"), [&] {
        prlnIndex = iIndex;
        m_host = oHost;
        pr_oFraOne = oFraOne;
        pr_oFraBar = oFraBar;
        pr_oImgOne = oImgOne;
        pr_oCmdView = oCmdView;
        pr_oCmdFreeze = oCmdFreeze;
        pr_oCmdLock = oCmdLock;
        pr_oCmdColor = oCmdColor;
        pr_oCboLineType = oCboLineType;
        pr_oTxtOne = oTxtOne;

        pr_subApplyControlSettings();
        pr_subConnectEvents();
        pu_subUpdateLocation(iPicMainWidth, 0);
        // Shown only once it stands in its place, so a grid being built never flickers
        // through the top-left corner; and only when that place is in view.
        ctl(pr_oFraOne).setVisible(!m_host || m_host->isRowInView(m_iRow));
        pr_subCaptionSet();
        pu_subActiveLayerCheck();
        pr_subLineTypeSet();
    });
}

// The nine controls' sizes, places and looks, in one geometry change each.
void clsDWF::pr_subApplyControlSettings() {
    platform::VbFrame& fraOne = ctl(pr_oFraOne);
    ControlGeometry::Move(&fraOne, ControlGeometry::Left(&fraOne), ControlGeometry::Top(&fraOne),
                          TileLayout::kFraOne.width, TileLayout::kFraOne.height);
    fraOne.setBackColor(kGrey);
    fraOne.setBorderStyle(0);

    platform::VbFrame& fraBar = ctl(pr_oFraBar);
    if (fraBar.parentWidget() != &fraOne)
        fraBar.setParent(&fraOne);
    move(fraBar, TileLayout::kFraBar);
    fraBar.setBackColor(kWhite);
    fraBar.setBorderStyle(0);
    fraBar.setVisible(true);

    auto inFrame = [](QWidget& control, QWidget& frame) {
        if (control.parentWidget() != &frame)
            control.setParent(&frame);
    };
    platform::VbImage& imgOne = ctl(pr_oImgOne);
    inFrame(imgOne, fraOne);
    move(imgOne, TileLayout::kImgOne);
    imgOne.setLegibleOn(platform::vbColor(kGrey));
    imgOne.setVisible(true);

    const struct {
        QPointer<platform::VbImage> control;
        TileLayout::Rect place;
    } buttons[] = {{pr_oCmdView, TileLayout::kCmdView},
                   {pr_oCmdFreeze, TileLayout::kCmdFreeze},
                   {pr_oCmdLock, TileLayout::kCmdLock}};
    for (const auto& button : buttons) {
        platform::VbImage& image = ctl(button.control);
        inFrame(image, fraBar);
        move(image, button.place);
        // A right or middle click on a state button must not switch the layer.
        image.setClickButtons(Qt::LeftButton);
        image.setVisible(true);
    }

    platform::VbPictureBox& cmdColor = ctl(pr_oCmdColor);
    inFrame(cmdColor, fraBar);
    move(cmdColor, TileLayout::kCmdColor);
    cmdColor.setAppearance(0);
    cmdColor.setVisible(true);

    QComboBox& cbo = ctl(pr_oCboLineType);
    inFrame(cbo, fraBar);
    const TileLayout::Rect& cboPlace = TileLayout::kCboLineType;
    ControlGeometry::Move(&cbo, cboPlace.left, cboPlace.top, cboPlace.width, comboHeightTwips(cbo));
    cbo.setVisible(true);

    platform::VbTextBox& txtOne = ctl(pr_oTxtOne);
    inFrame(txtOne, fraOne);
    move(txtOne, TileLayout::kTxtOne);
    txtOne.setAppearance(0);
    txtOne.setBorderStyle(1);
    txtOne.setVisible(true);
    // Marks end with the refresh: tile 1's title box is the template's, which would
    // otherwise keep the last refresh's mark.
    ResetSelect();

    // The picture may reach under the title and the bar once it follows the overview:
    // both lie on top of it, whatever order the controls were made in.
    fraBar.raise();
    txtOne.raise();
}

void clsDWF::pr_subCaptionSet() {
    ctl(pr_oTxtOne).setText(prsLayerName);
    ctl(pr_oTxtOne).setToolTip(QStringLiteral("No.") + QString::number(prlnIndex));
    ctl(pr_oImgOne).setToolTip(QStringLiteral("ダブルクリックにてオプション設定の動作を行います"));
}

void clsDWF::pr_subLineTypeSet() {
    QComboBox& box = ctl(pr_oCboLineType);
    box.clear();
    // Element 0 of the list is the empty placeholder and never an item.
    box.addItems(pu_sLineTypeArray.mid(1));
    // Filling a box selects its first item by itself; the layer's own linetype is set
    // with its state, and a layer that has none (not in the drawing) shows none.
    box.setCurrentIndex(-1);
}

void clsDWF::pu_subUpdateLocation(qint32 iPicMainWidth, qint32 iTopScrol) {
    ErrorTrap::trap(QStringLiteral("pu_subUpdateLocation"), [&] {
        platform::VbFrame& fraOne = ctl(pr_oFraOne);
        const double width = ControlGeometry::Width(&fraOne);
        const double height = ControlGeometry::Height(&fraOne);
        const qint32 columns = TileLayout::columnsFor(iPicMainWidth, width);
        if (columns == 0)
            throw platform::vbError(platform::vberr::DivisionByZero);
        const TileLayout::Cell cell = TileLayout::cellOf(prlnIndex, columns);
        m_iCol = cell.col;
        m_iRow = cell.row;
        // Rows scrolled off get a negative top and lie above PicMain's visible part,
        // where they cost no painting.
        ControlGeometry::Move(&fraOne, TileLayout::leftOf(m_iCol, width),
                              TileLayout::topOf(m_iRow, iTopScrol, height), width, height);
    });
}

void clsDWF::pu_subActiveLayerCheck() {
    ErrorTrap::trap(QStringLiteral("pu_subActiveLayerCheck"), [&] {
        if (!proDoc)
            return;
        platform::VbFrame& fraBar = ctl(pr_oFraBar);
        // Exact comparison: a layer whose name differs only in case is another tile's.
        // The CAD hands the current layer out under its own spelling, so its name is
        // known without asking a second time.
        const std::optional<QString> known = m_host ? m_host->knownCurrentLayer() : std::nullopt;
        const QString current = known ? *known : proDoc->ActiveLayer().addressedName();
        if (current == prsLayerName) {
            fraBar.setBackColor(kRed);
            fraBar.setProperty("ForeColor", kWhite);
        } else {
            fraBar.setBackColor(platform::vbWindowBackground);
            fraBar.setProperty("ForeColor", platform::vbWindowText);
        }
    });
}

void clsDWF::SetLayerState() {
    ErrorTrap::trap(QStringLiteral("SetLayerState"), [&] {
        acad::AcadLayer oLayer = doc(proDoc).Layers().Item(prsLayerName);
        m_bAllViewportFreaze = oLayer.Freeze();
        m_bLayerOn = oLayer.LayerOn();
        m_bLock = oLayer.Lock();
        m_bNewViewportFreaze = oLayer.ViewportDefault();
        m_bPlottable = oLayer.Plottable();
        m_lnColor = oLayer.Color();
        m_sLineType = oLayer.Linetype();
        pr_subButtonUpdate();
    });
}

void clsDWF::pr_subButtonUpdate() {
    const bool drawn = ErrorTrap::trap(QStringLiteral("pr_subButtonUpdate"), [&] {
        using Picture = TileHost::StatePicture;
        const TileHost& window = host(m_host);
        ctl(pr_oCmdView)
            .setPicture(window.statePicture(m_bLayerOn ? Picture::ViewOn : Picture::ViewOff));
        ctl(pr_oCmdFreeze)
            .setPicture(
                window.statePicture(m_bAllViewportFreaze ? Picture::FreezeOn : Picture::FreezeOff));
        ctl(pr_oCmdLock)
            .setPicture(window.statePicture(m_bLock ? Picture::LockOn : Picture::LockOff));
        ctl(pr_oCmdColor).setBackColor(quint32(basDWF::pu_fun_lnColorToRGB(m_lnColor)));
    });
    if (!drawn)
        return;

    // From here nothing is reported. A drop-down list refuses a linetype made in the
    // drawing after the last list was read: read the list again and retry once.
    bool shown = false;
    ErrorTrap::skip([&] {
        setComboText(ctl(pr_oCboLineType), m_sLineType);
        shown = true;
    });
    if (shown)
        return;
    ErrorTrap::skip([] { pu_subLineTypeList(); });
    ErrorTrap::skip([&] { pr_subLineTypeSet(); });
    ErrorTrap::skip([&] { setComboText(ctl(pr_oCboLineType), m_sLineType); });
}

void clsDWF::pu_subImageUpdate() {
    // Errors ignored: the picture simply keeps its geometry.
    ErrorTrap::skip([&] {
        const TileLayout::Rect overview = host(m_host).overviewPictureGeometry();
        platform::VbImage& imgOne = ctl(pr_oImgOne);
        imgOne.setVisible(false);
        // Scaled into the box, as the overview is, even where the fit left it at its
        // own size: otherwise it would keep that size in a zoomed box.
        imgOne.setStretch(true);
        ControlGeometry::Move(&imgOne, overview.left,
                              overview.top + ControlGeometry::Height(&ctl(pr_oTxtOne)),
                              overview.width, overview.height);
        imgOne.setVisible(true);
    });
}

void clsDWF::SelectView() {
    prbSelect = true;
    ctl(pr_oTxtOne).setBackColor(kNavy);
    ctl(pr_oTxtOne).setForeColor(platform::vbWindowBackground);
}

void clsDWF::ResetSelect() {
    prbSelect = false;
    ErrorTrap::skip([&] {
        ctl(pr_oTxtOne).setBackColor(platform::vbWindowBackground);
        ctl(pr_oTxtOne).setForeColor(platform::vbWindowText);
    });
}
