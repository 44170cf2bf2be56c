#include "frmExportExcel.h"

#include "ExportHost.h"
#include "ExportRun.h"
#include "acad/AcadDocument.h"
#include "platform/ControlGeometry.h"
#include "platform/ErrorReport.h"
#include "platform/ErrorTrap.h"
#include "platform/MsgBox.h"
#include "platform/Twips.h"
#include "platform/VbErrorText.h"
#include "platform/VbListBox.h"
#include "platform/VbNumeric.h"
#include "platform/WindowSystem.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLocale>
#include <QPushButton>
#include <QRadioButton>
#include <QSet>

using platform::ControlGeometry;

namespace {

const QString kCaption = QStringLiteral("画層イメージのExcelシート出力");
const QString kSelectLayers =
    QStringLiteral("イメージ出力したい画層をリストより選択してください。");

// Drop-down lists are as high as the font makes them; the design gives 300.
constexpr double kComboHeight = 300;

template <class T> T* named(T* control, const char* name) {
    control->setObjectName(QString::fromLatin1(name));
    return control;
}

void place(QWidget* control, double left, double top, double width, double height) {
    ControlGeometry::Move(control, left, top, width, height);
}

frmExportExcel::Runner& testRunner() {
    static frmExportExcel::Runner runner;
    return runner;
}

// A list's text as the number the user picked, read as the list wrote it: with the
// user's locale.
float listNumber(const QComboBox* list) {
    const std::optional<double> value = platform::vb::textToNumber(list->currentText());
    if (!value)
        throw platform::vbError(platform::vberr::TypeMismatch);
    return float(*value);
}

// Entries n / 10 for n from `first` to `last` in steps of `step`, one decimal.
void fillTenths(QComboBox* list, int first, int last, int step) {
    const QLocale locale;
    QStringList entries;
    for (int n = first; n <= last; n += step)
        entries << locale.toString(n / 10.0, 'f', 1);
    list->clear();
    list->addItems(entries);
}

void fillWhole(QComboBox* list, int last) {
    QStringList entries;
    for (int n = 1; n <= last; ++n)
        entries << QString::number(n);
    list->clear();
    list->addItems(entries);
}

void setText(QComboBox* list, const QString& text) {
    list->setCurrentIndex(list->findText(text));
}

} // namespace

void frmExportExcel::setRunnerForTesting(Runner runner) {
    testRunner() = std::move(runner);
}

void frmExportExcel::pu_subShow(std::shared_ptr<acad::AcadDocument> oAcadDoc,
                                const QStringList& sLayerArray, ExportHost& host) {
    // No owner: the dialog is a window of its own, and while it is up no other window
    // of the program takes input.
    frmExportExcel form(std::move(oAcadDoc), sLayerArray, host);
    // Set on the window before it is mapped: the manager reads it then.
    platform::WindowSystem::instance().setSkipTaskbar(std::uint32_t(form.winId()));
    form.exec();
}

frmExportExcel::frmExportExcel(std::shared_ptr<acad::AcadDocument> oAcadDoc,
                               const QStringList& sLayerArray, ExportHost& host)
    : QDialog(nullptr), m_oAcadDoc(std::move(oAcadDoc)), m_sLayerArray(sLayerArray), m_host(host) {
    setObjectName(QStringLiteral("frmExportExcel"));
    setWindowModality(Qt::ApplicationModal);
    // A fixed dialog frame: a title and the close button, nothing to minimise or
    // maximise (without the customize hint the manager adds both to an ownerless window).
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::MSWindowsFixedSizeDialogHint |
                   Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);
    setFixedSize(platform::twipsToPixels(6630), platform::twipsToPixels(6195));
    pr_subCreateControls();
    pr_subSetTabOrder();
    Form_Load();
}

void frmExportExcel::pr_subCreateControls() {
    LblHeader = named(
        new QLabel(QStringLiteral("Excelへ出力する画層を下のリストより選択してください"), this),
        "LblHeader");
    place(LblHeader, 210, 210, 4545, 225);

    LstLayer = named(new platform::VbListBox(true, this), "LstLayer");
    LstLayer->setSelectionMode(QAbstractItemView::ExtendedSelection);
    place(LstLayer, 210, 450, 6195, 2220);

    CmdSelectAll = named(new QPushButton(QStringLiteral("ALL"), this), "CmdSelectAll");
    place(CmdSelectAll, 5580, 180, 825, 255);

    FraLayout = named(new QGroupBox(QStringLiteral("画層イメージレイアウト"), this), "FraLayout");
    place(FraLayout, 210, 2850, 6225, 2595);

    OptSeparateSheet = named(new QRadioButton(QStringLiteral("1イメージ／1シート"), FraLayout),
                             "OptSeparateSheet");
    place(OptSeparateSheet, 390, 360, 2565, 255);
    OptOneSheet = named(new QRadioButton(QStringLiteral("指定イメージ数／1シート"), FraLayout),
                        "OptOneSheet");
    place(OptOneSheet, 390, 750, 2535, 255);

    auto makeList = [this](const char* name, double left, double top, double width) {
        auto* list = named(new QComboBox(FraLayout), name);
        list->setEditable(false);
        place(list, left, top, width, kComboHeight);
        return list;
    };
    auto makeLabel = [this](const char* name, const QString& caption, double left, double top,
                            double width, double height) {
        auto* label = named(new QLabel(caption, FraLayout), name);
        place(label, left, top, width, height);
        return label;
    };
    CboRowNum = makeList("CboRowNum", 2760, 720, 1005);
    LblRow = makeLabel("LblRow", QStringLiteral("行 ×"), 3810, 780, 495, 225);
    CboColNum = makeList("CboColNum", 4290, 720, 1005);
    LblCol = makeLabel("LblCol", QStringLiteral("列"), 5370, 780, 495, 225);
    LblOffset = makeLabel("LblOffset", QStringLiteral("イメージの間隔"), 420, 1260, 1665, 225);
    CboOffset = makeList("CboOffset", 2730, 1200, 1035);
    LblOffset2 = makeLabel("LblOffset2", QStringLiteral("cm"), 3810, 1230, 495, 225);
    LblWidth =
        makeLabel("LblWidth", QStringLiteral("イメージの大きさ（幅）"), 420, 1710, 1665, 225);
    CboWidth = makeList("CboWidth", 2730, 1650, 1035);
    LblWidth2 = makeLabel("LblWidth2", QStringLiteral("cm"), 3810, 1680, 495, 225);
    ChkFrame = named(new QCheckBox(QStringLiteral("イメージを枠で囲む"), FraLayout), "ChkFrame");
    place(ChkFrame, 420, 2130, 1845, 255);
    CboFrame = makeList("CboFrame", 2730, 2100, 1035);
    LblFrame = makeLabel("LblFrame", QStringLiteral("ポイント"), 3840, 2160, 1095, 225);

    CmdOK = named(new QPushButton(QStringLiteral("OK"), this), "CmdOK");
    place(CmdOK, 4200, 5670, 1065, 435);
    CmdCancel = named(new QPushButton(QStringLiteral("ｷｬﾝｾﾙ"), this), "CmdCancel");
    place(CmdCancel, 5340, 5670, 1065, 435);
    // Only Esc has a button (Cancel); Enter in the list must not start an export.
    for (QPushButton* button : {CmdSelectAll, CmdOK, CmdCancel}) {
        button->setAutoDefault(false);
        button->setDefault(false);
    }

    connect(CmdSelectAll, &QPushButton::clicked, this, [this] { CmdSelectAll_Click(); });
    connect(CmdOK, &QPushButton::clicked, this, [this] { CmdOK_Click(); });
    connect(CmdCancel, &QPushButton::clicked, this, [this] { CmdCancel_Click(); });
    connect(OptOneSheet, &QRadioButton::clicked, this, [this] { pr_subSetEnabled(); });
    connect(OptSeparateSheet, &QRadioButton::clicked, this, [this] { pr_subSetEnabled(); });
}

void frmExportExcel::pr_subSetTabOrder() {
    // The design's tab indices; labels and the frame take no focus.
    QWidget* const order[] = {LstLayer,         CmdSelectAll, CmdOK,     CmdCancel,
                              OptSeparateSheet, OptOneSheet,  CboRowNum, CboColNum,
                              ChkFrame,         CboWidth,     CboOffset, CboFrame};
    for (std::size_t i = 1; i < std::size(order); ++i)
        setTabOrder(order[i - 1], order[i]);
}

void frmExportExcel::Form_Load() {
    setWindowTitle(kCaption);
    pr_subSetCombo();
    OptOneSheet->setChecked(true);
    ChkFrame->setChecked(true);
    pr_subSetEnabled();
}

void frmExportExcel::pr_subSetCombo() {
    fillWhole(CboRowNum, 100);
    setText(CboRowNum, QStringLiteral("3"));
    fillWhole(CboColNum, 50);
    setText(CboColNum, QStringLiteral("2"));
    fillTenths(CboWidth, 20, 1000, 5);
    setText(CboWidth, QLocale().toString(9.0, 'f', 1));
    fillTenths(CboOffset, 0, 100, 1);
    setText(CboOffset, QLocale().toString(1.0, 'f', 1));
    fillTenths(CboFrame, 10, 100, 5);
    setText(CboFrame, QLocale().toString(1.0, 'f', 1));
}

void frmExportExcel::pr_subSetEnabled() {
    const bool bGrid = !OptSeparateSheet->isChecked();
    CboRowNum->setEnabled(bGrid);
    CboColNum->setEnabled(bGrid);
    CboOffset->setEnabled(bGrid);
    CboWidth->setEnabled(true);
    ChkFrame->setEnabled(true);
    CboFrame->setEnabled(true);
}

void frmExportExcel::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (m_bActivated)
        return;
    m_bActivated = true;
    LstLayer->setFocus();
    // The caller has checked that there is a drawing; one closed since then must not
    // take the program down with it.
    ErrorTrap::trap(QStringLiteral("Form_Activate"), [this] { Form_Activate(); });
}

void frmExportExcel::Form_Activate() {
    LstLayer->Clear();
    if (!m_oAcadDoc)
        throw platform::vbError(platform::vberr::ObjectNotSet);
    acad::AcadLayers layers = m_oAcadDoc->Layers();
    for (acad::AcadLayer layer : layers)
        LstLayer->AddItem(layer.Name());
    // Exact comparison: "wall" in the array does not select "WALL".
    const QSet<QString> preselected(m_sLayerArray.cbegin(), m_sLayerArray.cend());
    for (int i = 0; i < LstLayer->ListCount(); ++i)
        if (preselected.contains(LstLayer->List(i)))
            LstLayer->setSelected(i, true);
}

void frmExportExcel::CmdSelectAll_Click() {
    for (int i = 0; i < LstLayer->ListCount(); ++i)
        LstLayer->setSelected(i, true);
}

void frmExportExcel::CmdCancel_Click() {
    QDialog::reject();
}

void frmExportExcel::reject() {
    CmdCancel_Click();
}

void frmExportExcel::CmdOK_Click() {
    int iSelected = 0;
    for (int i = 0; i < LstLayer->ListCount(); ++i)
        if (LstLayer->Selected(i))
            ++iSelected;
    if (iSelected == 0) {
        platform::MsgBox(kSelectLayers, platform::vbOKOnly | platform::vbExclamation,
                         ErrorReport::kTitle);
        return;
    }
    const ExportChoices c = choices();
    // The dialog goes first; the run's messages and the workbook are what the user
    // looks at next. It does not come back, whatever the run's outcome.
    hide();
    if (testRunner()) {
        testRunner()(c, *this);
    } else {
        ExportRun run(hWnd(), m_host);
        run.run(c);
    }
    done(QDialog::Accepted);
}

ExportChoices frmExportExcel::choices() const {
    ExportChoices c;
    c.oAcadDoc = m_oAcadDoc;
    for (int i = 0; i < LstLayer->ListCount(); ++i)
        if (LstLayer->Selected(i))
            c.sLayers << LstLayer->List(i);
    c.bSeparateSheet = OptSeparateSheet->isChecked();
    c.lnRowNum = platform::vb::CLng(listNumber(CboRowNum));
    c.lnColNum = platform::vb::CLng(listNumber(CboColNum));
    c.snWidth = listNumber(CboWidth);
    c.snOffset = listNumber(CboOffset);
    c.bFrame = ChkFrame->checkState() != Qt::Unchecked;
    c.snFrame = listNumber(CboFrame);
    return c;
}

std::uint32_t frmExportExcel::hWnd() const {
    return static_cast<std::uint32_t>(winId());
}
