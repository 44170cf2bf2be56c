// The refresh from the connected CAD to the rebuild: the saved check, the choice of the
// layers to show (list file, all layers, displayed layers) in sorted order, the linetype
// list, and the hand-over to pu_subFormShow. Errors pass on to CmdRefresh_Click's box.

#include "frmWMF.h"

#include "acad/basAcadConnect.h"
#include "acad/basDWF_Acad.h"
#include "csv/clsCSV_Function2.h"
#include "platform/ErrorReport.h"
#include "platform/MsgBox.h"
#include "platform/VbListBox.h"
#include "platform/VbNumeric.h"

#include <QCheckBox>
#include <QFileInfo>

// The order of a sorted list box: ascending, without regard to case, by the user's
// collation. The box does the sorting, so the viewer's order is the platform's.
void frmWMF::pr_subSortNames(QStringList& sNames) {
    LstLayersSort->Clear();
    for (qsizetype i = 1; i < sNames.size(); ++i)
        LstLayersSort->AddItem(sNames[i]);
    for (int k = 0; k < LstLayersSort->ListCount(); ++k)
        sNames[k + 1] = LstLayersSort->List(k);
}

// LstLayers shows the layers to show, positions 1 to m.
void frmWMF::pr_subLayerListFill(const QStringList& sOnLayerArray) {
    LstLayers->Clear();
    for (qsizetype i = 1; i < sOnLayerArray.size(); ++i)
        LstLayers->AddItem(sOnLayerArray[i]);
}

// No CAD names a layer with more characters than this; a longer name in a list file is
// no layer of any drawing, and laying out megabytes of it in a tile and the list stopped
// the window for minutes.
constexpr qsizetype kMaxLayerName = 255;

void frmWMF::pr_subReportTooLongNames(qint32 lnCount) {
    platform::MsgBox(QStringLiteral("画層一覧ファイルに %1 文字を超える画層名が %2 件あります。\r\n"
                                    "これらの画層は表示しません。")
                         .arg(kMaxLayerName)
                         .arg(lnCount),
                     platform::vbOKOnly | platform::vbExclamation, ErrorReport::kTitle);
}

// A tile per layer, each with its controls and picture: beyond kMaxTiles the grid would
// take gigabytes and minutes. Checked before the names are sorted, which alone would
// take long for hundreds of thousands.
bool frmWMF::pr_fun_bTooManyLayers(qint32 lnCount) {
    if (lnCount <= kMaxTiles)
        return false;
    platform::MsgBox(QStringLiteral("表示する画層が多すぎます（%1 画層）。\r\n"
                                    "一度に表示できるのは %2 画層までです。")
                         .arg(lnCount)
                         .arg(kMaxTiles),
                     platform::vbOKOnly | platform::vbExclamation, ErrorReport::kTitle);
    return true;
}

void frmWMF::pr_subRefreshLayers() {
    std::shared_ptr<acad::AcadDocument> oAcadDoc = pu_oAcadApp->ActiveDocument();

    // A drawing never saved has no file; neither has one whose file went away since.
    const QString sFullName = oAcadDoc->FullName();
    if (sFullName.isEmpty() || !QFileInfo(sFullName).isFile()) {
        platform::MsgBox(QStringLiteral("『 ") + oAcadDoc->Name() +
                             QStringLiteral(" 』は保存されていません。\r\n"
                                            "保存してから実行してください。"),
                         platform::vbOKOnly | platform::vbExclamation, ErrorReport::kTitle);
        return;
    }
    // The way back is kept by layer name for the same drawing and forgotten for another.
    pr_subHistoryFollowDrawing(sFullName);
    // Before the snapshot, which would take them for the drawing's own: the states a
    // failed refresh left on and thawed.
    m_unrestored.offer(*oAcadDoc);
    m_sRefreshedDrawing = sFullName;

    acad::AcadLayers layers = oAcadDoc->Layers();
    const qint32 n = layers.Count();
    QStringList sAllLayerArray;
    QStringList sOnLayerArray;
    bool bAll = false;
    bool bCsvRead = false;

    if (!prsCsvPath.isEmpty()) {
        clsCSV_Function2 csv;
        VbArray2D vCSV_Array;
        if (!csv.pu_fun_bGet_CSV_Array(prsCsvPath, vCSV_Array, nullptr, true, false, false, 0, 0,
                                       true, QStringLiteral(",")))
            return; // the reader has said why; the file is tried again next time
        sAllLayerArray.reserve(n + 1);
        sAllLayerArray.append(QString());
        for (qint32 i = 1; i <= n; ++i)
            sAllLayerArray.append(layers.Item(i - 1).addressedName());
        sOnLayerArray.append(QString());
        // A file without lines leaves the table erased: no row, so no layer to show.
        if (vCSV_Array.isAllocated()) {
            const qint32 col = vCSV_Array.lbound(1);
            // The file is used up whether or not its layers can be shown.
            if (pr_fun_bTooManyLayers(vCSV_Array.ubound(2) - vCSV_Array.lbound(2) + 1)) {
                prsCsvPath.clear();
                return;
            }
            qint32 lnTooLong = 0;
            for (qint32 row = vCSV_Array.lbound(2); row <= vCSV_Array.ubound(2); ++row) {
                QString sName = platform::vb::CStr(vCSV_Array(col, row));
                if (sName.size() > kMaxLayerName) {
                    ++lnTooLong;
                    continue;
                }
                sOnLayerArray.append(std::move(sName));
            }
            if (lnTooLong > 0)
                pr_subReportTooLongNames(lnTooLong);
        }
        pr_subSortNames(sOnLayerArray);
        bCsvRead = true;
    } else if (!ChkViewOnly->isChecked()) {
        if (pr_fun_bTooManyLayers(n))
            return;
        bAll = true;
        sAllLayerArray.append(QString());
        for (qint32 i = 0; i < n; ++i)
            sAllLayerArray.append(layers.Item(i).addressedName());
        pr_subSortNames(sAllLayerArray);
        sOnLayerArray = sAllLayerArray;
    } else {
        sAllLayerArray.append(QString());
        sOnLayerArray.append(QString());
        for (qint32 i = 1; i <= n; ++i) {
            acad::AcadLayer oLayer = layers.Item(i - 1);
            sAllLayerArray.append(oLayer.addressedName());
            // Frozen layers that are on are shown too: only the on state counts.
            if (oLayer.LayerOn())
                sOnLayerArray.append(oLayer.addressedName());
        }
        if (pr_fun_bTooManyLayers(qint32(sOnLayerArray.size()) - 1))
            return;
        pr_subSortNames(sOnLayerArray);
    }

    pr_subLayerListFill(sOnLayerArray);
    if (bCsvRead)
        prsCsvPath.clear();

    pu_subLineTypeList();
    pu_subFormShow(oAcadDoc, sAllLayerArray, sOnLayerArray, bAll);
}
