// The export command and what the export asks of the window: the refresh's pictures,
// the desktop's program for the workbook, the status bar.

#include "frmWMF.h"

#include "DesktopService.h"
#include "WorkFolder.h"
#include "export/frmExportExcel.h"
#include "platform/ErrorReport.h"
#include "platform/MsgBox.h"
#include "platform/VbListBox.h"

#include <QStatusBar>

void frmWMF::pr_subExportExcel() {
    if (!proAcadDoc) {
        platform::MsgBox(
            QStringLiteral(
                "図面更新ボタン（ビックリマーク）で図面を読み込んでから実行してください。"),
            platform::vbOKOnly | platform::vbExclamation, ErrorReport::kTitle);
        return;
    }
    // Element 0 stays empty; the chosen names follow in list order.
    QStringList sLayerArray{QString()};
    for (int i = 0; i < LstLayers->ListCount(); ++i)
        if (LstLayers->Selected(i))
            sLayerArray << LstLayers->List(i);
    frmExportExcel::pu_subShow(proAcadDoc, sLayerArray, *this);
}

QString frmWMF::layerPicturePath(const QString& sLayerName) {
    return WorkFolder::layerPicturePath(sLayerName);
}

bool frmWMF::openWorkbook(const QString& sPath) {
    return desktopService().openDocument(sPath);
}

void frmWMF::showStatusText(const QString& sText) {
    StatusMain->showMessage(sText);
}
