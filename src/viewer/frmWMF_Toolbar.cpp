#include "frmWMF.h"

#include "ViewerIcons.h"
#include "app/basWindowAPI.h"
#include "basFormShow.h"
#include "platform/ControlGeometry.h"
#include "platform/ErrorReport.h"

#include <QAction>
#include <QComboBox>
#include <QToolBar>

namespace {

enum class Kind { Placeholder, Separator, Command };

struct ButtonDesign {
    Kind kind;
    const char* artwork;
    const char* tooltip;
};

// Buttons 1 to 17 in toolbar order. The placeholders leave room for CboZoom, which
// lies over the left end; the separators part the command groups.
const ButtonDesign kButtons[frmWMF::kToolbarButtons] = {
    {Kind::Placeholder, nullptr, nullptr},
    {Kind::Placeholder, nullptr, nullptr},
    {Kind::Command, "zoom_in", "ズームアップ"},
    {Kind::Command, "zoom_out", "ズームダウン"},
    {Kind::Command, "zoom_fit", "全体表示"},
    {Kind::Separator, nullptr, nullptr},
    {Kind::Command, "refresh", "更新（アクティブ図面の画像を読み込みます）"},
    {Kind::Separator, nullptr, nullptr},
    {Kind::Command, "excel", "画層の一覧をExcelへ出力"},
    {Kind::Separator, nullptr, nullptr},
    {Kind::Command, "layers_on", "選択したリストの画層を表示に設定します"},
    {Kind::Command, "layers_off", "選択したリストの画層を非表示に設定します"},
    {Kind::Command, "remove", "選択したリスト及びリストに該当するビューを削除します"},
    {Kind::Command, "all_on", "全ての画層を表示に設定します"},
    {Kind::Command, "all_off", "全ての画層を非表示に設定します"},
    {Kind::Separator, nullptr, nullptr},
    {Kind::Command, "info", "ソフト情報"},
};

} // namespace

void frmWMF::pr_subCreateToolbar() {
    Toolbar1 = new QToolBar(this);
    Toolbar1->setObjectName(QStringLiteral("Toolbar1"));
    Toolbar1->setMovable(false);
    Toolbar1->setFloatable(false);
    Toolbar1->setIconSize(QSize(16, 16));
    Toolbar1->setToolButtonStyle(Qt::ToolButtonIconOnly);
    Toolbar1->setContentsMargins(0, 0, 0, 0);
    platform::ControlGeometry::Move(Toolbar1, 0, 0, 10710, 360);

    m_toolbarButtons.clear();
    for (int i = 0; i < kToolbarButtons; ++i) {
        const ButtonDesign& design = kButtons[i];
        QAction* action = nullptr;
        switch (design.kind) {
        case Kind::Placeholder: {
            auto* room = new QWidget(Toolbar1);
            room->setFixedSize(23, 22);
            action = Toolbar1->addWidget(room);
            break;
        }
        case Kind::Separator:
            action = Toolbar1->addSeparator();
            break;
        case Kind::Command: {
            const QString tip = QString::fromUtf8(design.tooltip);
            action = Toolbar1->addAction(
                ViewerIcons::icon(QString::fromLatin1(design.artwork), QSize(16, 16)), tip);
            action->setToolTip(tip);
            action->setStatusTip(tip);
            const int index = i + 1;
            connect(action, &QAction::triggered, this,
                    [this, index] { Toolbar1_ButtonClick(index); });
            break;
        }
        }
        action->setObjectName(QStringLiteral("Toolbar1_Button%1").arg(i + 1));
        m_toolbarButtons.push_back(action);
    }

    // The zoom list sits over the placeholders at the toolbar's left end.
    CboZoom = new QComboBox(this);
    CboZoom->setObjectName(QStringLiteral("CboZoom"));
    CboZoom->setEditable(false);
    CboZoom->setToolTip(QStringLiteral("ズーム率"));
    platform::ControlGeometry::Move(CboZoom, 30, 30, 615, 300);
    CboZoom->raise();
}

void frmWMF::Toolbar1_ButtonClick(int index) {
    const ErrorReport::Batch oneBox;
    // The refresh makes the offer itself, before it reads the drawing's states.
    if (index != 7 && proAcadDoc)
        m_unrestored.offer(*proAcadDoc);
    switch (index) {
    case 7:
        // No second command can start while the refresh runs and lets messages through.
        setEnabled(false);
        CmdRefresh_Click();
        setEnabled(true);
        basWindowAPI::pu_subSetForeground(hWnd());
        break;
    case 3:
        pr_subZoomIn();
        break;
    case 4:
        pr_subZoomOut();
        break;
    case 5:
        pr_subZoomFit();
        break;
    case 11:
        pr_subSelectLayerSet(QStringLiteral("View"));
        break;
    case 12:
        pr_subSelectLayerSet(QStringLiteral("Hide"));
        break;
    case 13:
        CmdSelectRemove_Click();
        break;
    case 14:
        pr_subAllLayerOn();
        break;
    case 15:
        pr_subAllLayerOff();
        break;
    case 17:
        basFormShow::pu_subInfoShow();
        break;
    case 9:
        pr_subExportExcel();
        break;
    default:
        break;
    }
}
