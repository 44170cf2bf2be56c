#include "clsDWF.h"

#include "acad/AcadDocument.h"
#include "acad/basDWF_Acad.h"
#include "basDWF.h"
#include "metafile/MetafilePicture.h"
#include "platform/ControlGeometry.h"
#include "platform/ErrorReport.h"
#include "platform/Twips.h"
#include "platform/VbColor.h"
#include "platform/VbError.h"
#include "platform/VbErrorText.h"
#include "platform/VbFrame.h"
#include "platform/VbImage.h"
#include "platform/VbPictureBox.h"
#include "platform/VbTextBox.h"

#include <QComboBox>
#include <QFileInfo>
#include <QLineEdit>
#include <cmath>

using platform::ControlGeometry;

namespace {

constexpr double kFraOneWidth = 2565;
constexpr double kFraOneHeight = 3015;
constexpr double kTileGap = 100;
constexpr double kGridMargin = 30;

constexpr quint32 kGrey = 0x808080;
constexpr quint32 kWhite = 0xFFFFFF;
constexpr quint32 kRed = 0xFF;
constexpr quint32 kNavy = 0x800000;

clsDWF::WindowParts& sharedParts() {
    static clsDWF::WindowParts parts;
    return parts;
}

// A control the tile no longer has (removed with its frame) is VB's unset object.
template <class T> T& ctl(const QPointer<T>& control) {
    if (!control)
        throw platform::vbError(91);
    return *control;
}

acad::AcadDocument& doc(const std::shared_ptr<acad::AcadDocument>& d) {
    if (!d)
        throw platform::vbError(91);
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
        throw platform::vbError(383, QStringLiteral("Text"));
    box.setCurrentIndex(index);
}

void copyPicture(platform::VbImage& target, const QPointer<platform::VbImage>& source) {
    target.setPicture(source ? source->Picture() : platform::VbPicturePtr());
}

void reportError(const char* procedure, const std::exception& error) {
    ErrorReport::showUnexpectedError(QString::fromLatin1(procedure), error);
}

// The height every new linetype box takes: its own, measured once for the whole grid
// rather than once per tile.
double comboHeightTwips(QComboBox& box) {
    static const int pixels = box.sizeHint().height();
    return platform::pixelsToTwips(pixels);
}

} // namespace

void clsDWF::setWindowParts(const WindowParts& parts) {
    sharedParts() = parts;
}

const clsDWF::WindowParts& clsDWF::windowParts() const {
    WindowParts& parts = sharedParts();
    // Tiles made on a window that never handed its parts over find them beside their
    // frame: the state pictures lie in PicMain, the overview in the window.
    if (!parts.CmdViewOn && pr_oFraOne && pr_oFraOne->parentWidget()) {
        QWidget* picMain = pr_oFraOne->parentWidget();
        auto find = [picMain](const char* name) {
            return picMain->findChild<platform::VbImage*>(QString::fromLatin1(name),
                                                          Qt::FindDirectChildrenOnly);
        };
        parts.CmdViewOn = find("CmdViewOn");
        parts.CmdViewOff = find("CmdViewOff");
        parts.CmdFreezeOn = find("CmdFreezeOn");
        parts.CmdFreezeOff = find("CmdFreezeOff");
        parts.CmdLockOn = find("CmdLockOn");
        parts.CmdLockOff = find("CmdLockOff");
        if (!parts.ImgALL)
            parts.ImgALL =
                picMain->window()->findChild<platform::VbImage*>(QStringLiteral("ImgALL"));
    }
    return parts;
}

void clsDWF::SetWMF(const QString& sWMF_FullPath) {
    if (!QFileInfo(sWMF_FullPath).isFile())
        throw platform::vbError(platform::vberr::FileNotFound);
    // Played when the tile is first painted: most tiles are out of view.
    auto picture =
        metafile::MetafilePicture::load(sWMF_FullPath, metafile::MetafilePicture::Play::Deferred);
    if (!picture)
        throw platform::vbError(481);
    ctl(pr_oImgOne).setPicture(std::move(picture));
}

void clsDWF::InitialSettingAutoCAD(const QString& sLayerName,
                                   std::shared_ptr<acad::AcadDocument> oAcadDoc) {
    prsLayerName = sLayerName;
    proDoc = std::move(oAcadDoc);
}

void clsDWF::InitialSetting(qint32 iIndex, platform::VbFrame* oFraOne, platform::VbFrame* oFraBar,
                            platform::VbImage* oImgOne, platform::VbImage* oCmdView,
                            platform::VbImage* oCmdFreeze, platform::VbImage* oCmdLock,
                            platform::VbPictureBox* oCmdColor, QComboBox* oCboLineType,
                            platform::VbTextBox* oTxtOne, qint32 iPicMainWidth) {
    try {
        prlnIndex = iIndex;
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
        pu_subUpdateLocation(iPicMainWidth, 0);
        // Shown only once it stands in its place, so a grid being built never flickers
        // through the top-left corner.
        ctl(pr_oFraOne).setVisible(true);
        pr_subCaptionSet();
        pu_subActiveLayerCheck();
        pr_subLineTypeSet();
    } catch (const std::exception& error) {
        reportError("InitialSetting", error);
    }
}

// The nine controls' sizes, places and looks, in one geometry change each.
void clsDWF::pr_subApplyControlSettings() {
    platform::VbFrame& fraOne = ctl(pr_oFraOne);
    ControlGeometry::Move(&fraOne, ControlGeometry::Left(&fraOne), ControlGeometry::Top(&fraOne),
                          kFraOneWidth, kFraOneHeight);
    fraOne.setBackColor(kGrey);
    fraOne.setBorderStyle(0);

    platform::VbFrame& fraBar = ctl(pr_oFraBar);
    if (fraBar.parentWidget() != &fraOne)
        fraBar.setParent(&fraOne);
    ControlGeometry::Move(&fraBar, 0, 2700, 2565, 315);
    fraBar.setBackColor(kWhite);
    fraBar.setBorderStyle(0);
    fraBar.setVisible(true);

    auto inFrame = [](QWidget& control, QWidget& frame) {
        if (control.parentWidget() != &frame)
            control.setParent(&frame);
    };
    platform::VbImage& imgOne = ctl(pr_oImgOne);
    inFrame(imgOne, fraOne);
    ControlGeometry::Move(&imgOne, 0, 270, 2535, 2415);
    imgOne.setVisible(true);

    const struct {
        QPointer<platform::VbImage> control;
        double left;
    } buttons[] = {{pr_oCmdView, 60}, {pr_oCmdFreeze, 360}, {pr_oCmdLock, 660}};
    for (const auto& button : buttons) {
        platform::VbImage& image = ctl(button.control);
        inFrame(image, fraBar);
        ControlGeometry::Move(&image, button.left, 60, 195, 195);
        image.setVisible(true);
    }

    platform::VbPictureBox& cmdColor = ctl(pr_oCmdColor);
    inFrame(cmdColor, fraBar);
    ControlGeometry::Move(&cmdColor, 930, 60, 195, 195);
    cmdColor.setAppearance(0);
    cmdColor.setVisible(true);

    QComboBox& cbo = ctl(pr_oCboLineType);
    inFrame(cbo, fraBar);
    ControlGeometry::Move(&cbo, 1200, 15, 1335, comboHeightTwips(cbo));
    cbo.setVisible(true);

    platform::VbTextBox& txtOne = ctl(pr_oTxtOne);
    inFrame(txtOne, fraOne);
    ControlGeometry::Move(&txtOne, 0, 0, 2565, 255);
    txtOne.setAppearance(0);
    txtOne.setBorderStyle(1);
    txtOne.setVisible(true);
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
}

void clsDWF::pu_subUpdateLocation(qint32 iPicMainWidth, qint32 iTopScrol) {
    try {
        platform::VbFrame& fraOne = ctl(pr_oFraOne);
        const double width = ControlGeometry::Width(&fraOne);
        const double height = ControlGeometry::Height(&fraOne);
        const qint32 columns = qint32(std::floor(iPicMainWidth / (width + kTileGap)));
        if (columns == 0)
            throw platform::vbError(11);
        m_iCol = prlnIndex % columns;
        if (m_iCol == 0)
            m_iCol = columns;
        m_iRow = (prlnIndex - m_iCol) / columns + 1;
        // Rows scrolled off get a negative top and lie above PicMain's visible part,
        // where they cost no painting.
        ControlGeometry::Move(&fraOne, (width + kTileGap) * (m_iCol - 1) + kGridMargin,
                              (height + kTileGap) * (m_iRow - 1 - iTopScrol) + kGridMargin, width,
                              height);
    } catch (const std::exception& error) {
        reportError("pu_subUpdateLocation", error);
    }
}

void clsDWF::pu_subActiveLayerCheck() {
    try {
        if (!proDoc)
            return;
        platform::VbFrame& fraBar = ctl(pr_oFraBar);
        // Exact comparison: a layer whose name differs only in case is another tile's.
        // The CAD hands the current layer out under its own spelling, so its name is
        // known without asking a second time.
        if (proDoc->ActiveLayer().addressedName() == prsLayerName) {
            fraBar.setBackColor(kRed);
            fraBar.setProperty("ForeColor", kWhite);
        } else {
            fraBar.setBackColor(platform::vbWindowBackground);
            fraBar.setProperty("ForeColor", platform::vbWindowText);
        }
    } catch (const std::exception& error) {
        reportError("pu_subActiveLayerCheck", error);
    }
}

void clsDWF::SetLayerState() {
    try {
        acad::AcadLayer oLayer = doc(proDoc).Layers().Item(prsLayerName);
        m_bAllViewportFreaze = oLayer.Freeze();
        m_bLayerOn = oLayer.LayerOn();
        m_bLock = oLayer.Lock();
        m_bNewViewportFreaze = oLayer.ViewportDefault();
        m_bPlottable = oLayer.Plottable();
        m_lnColor = oLayer.Color();
        m_sLineType = oLayer.Linetype();
        pr_subButtonUpdate();
    } catch (const std::exception& error) {
        reportError("SetLayerState", error);
    }
}

void clsDWF::pr_subButtonUpdate() {
    try {
        const WindowParts& parts = windowParts();
        copyPicture(ctl(pr_oCmdView), m_bLayerOn ? parts.CmdViewOn : parts.CmdViewOff);
        copyPicture(ctl(pr_oCmdFreeze),
                    m_bAllViewportFreaze ? parts.CmdFreezeOn : parts.CmdFreezeOff);
        copyPicture(ctl(pr_oCmdLock), m_bLock ? parts.CmdLockOn : parts.CmdLockOff);
        ctl(pr_oCmdColor).setBackColor(quint32(basDWF::pu_fun_lnColorToRGB(m_lnColor)));
    } catch (const std::exception& error) {
        reportError("pr_subButtonUpdate", error);
        return;
    }

    // From here nothing is reported. A drop-down list refuses a linetype made in the
    // drawing after the last list was read: read the list again and retry once.
    try {
        setComboText(ctl(pr_oCboLineType), m_sLineType);
        return;
    } catch (const std::exception&) {
    }
    try {
        pu_subLineTypeList();
    } catch (const std::exception&) {
    }
    try {
        pr_subLineTypeSet();
    } catch (const std::exception&) {
    }
    try {
        setComboText(ctl(pr_oCboLineType), m_sLineType);
    } catch (const std::exception&) {
    }
}

void clsDWF::pu_subImageUpdate() {
    // Errors ignored: the picture simply keeps its geometry.
    try {
        const WindowParts& parts = windowParts();
        platform::VbImage& imgOne = ctl(pr_oImgOne);
        platform::VbImage& imgAll = ctl(parts.ImgALL);
        imgOne.setVisible(false);
        ControlGeometry::Move(&imgOne, ControlGeometry::Left(&imgAll),
                              ControlGeometry::Top(&imgAll) +
                                  ControlGeometry::Height(&ctl(pr_oTxtOne)),
                              ControlGeometry::Width(&imgAll), ControlGeometry::Height(&imgAll));
        imgOne.setVisible(true);
    } catch (const std::exception&) {
    }
}

void clsDWF::SelectView() {
    prbSelect = true;
    ctl(pr_oTxtOne).setBackColor(kNavy);
    ctl(pr_oTxtOne).setForeColor(platform::vbWindowBackground);
}

void clsDWF::ResetSelect() {
    prbSelect = false;
    try {
        ctl(pr_oTxtOne).setBackColor(platform::vbWindowBackground);
        ctl(pr_oTxtOne).setForeColor(platform::vbWindowText);
    } catch (const std::exception&) {
    }
}
