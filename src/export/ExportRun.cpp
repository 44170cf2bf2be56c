// The export run: the spreadsheet reached, a new workbook with the layer table, the
// pictures of the layers that have objects and a picture placed on numbered sheets or
// one sheet a layer, the workbook written to a new file, read back, and handed to the
// desktop.

#include "ExportRun.h"

#include "ExportHost.h"
#include "acad/AcadDocument.h"
#include "acad/basDWF_Acad.h"
#include "app/basWindowAPI.h"
#include "basExcel.h"
#include "platform/ErrorReport.h"
#include "platform/ErrorTrap.h"
#include "platform/MsgBox.h"
#include "platform/VbError.h"
#include "platform/VbErrorText.h"
#include "platform/spreadsheet/PictureFile.h"
#include "platform/spreadsheet/Spreadsheet.h"
#include "platform/spreadsheet/XlsxWriter.h"

#include <QDir>
#include <QFileInfo>
#include <cerrno>
#include <optional>

namespace {

const QString kProcedure = QStringLiteral("CmdOK_Click");
const QString kNoExcel = QStringLiteral("Excelが見つかりません。");
const QString kTableFailed = QStringLiteral("Excelシート出力に失敗しました。");
const QString kDone = QStringLiteral("画層イメージのExcelシート出力が完了しました。");
const QString kNoFolder = QStringLiteral(
    "Excelシートを保存できるフォルダが見つかりません。次のフォルダには書き込めません：");
const QString kDiskFull =
    QStringLiteral("ディスクの空き容量が足りないため、Excelシートを保存できませんでした。");
const QString kFolderNotWritable =
    QStringLiteral("フォルダに書き込めないため、Excelシートを保存できませんでした。");
const QString kNotSaved = QStringLiteral("Excelシートを保存できませんでした。");
const QString kNoUnusedName = QStringLiteral("同じ名前のExcelシートが多すぎます。");
const QString kListSheetName = QStringLiteral("画層一覧");
const QString kCountLabel = QStringLiteral("ｵﾌﾞｼﾞｪｸﾄ数：");

// Points: the sheet's margin left and above, the gap between a picture and its caption,
// the caption's height and its font.
constexpr double kMargin = 10;
constexpr double kCaptionGap = 2;
constexpr double kCaptionHeight = 30;
constexpr double kCaptionFontSize = 9;

acad::AcadDocument& drawing(const ExportChoices& choices) {
    if (!choices.oAcadDoc)
        throw platform::vbError(platform::vberr::ObjectNotSet);
    return *choices.oAcadDoc;
}

// The spreadsheet's refusals carry its own error numbers; everything else is reported
// as the platform reports it.
void reportUnexpected(const std::exception& error) {
    if (auto* refused = dynamic_cast<const spreadsheet::SpreadsheetError*>(&error)) {
        ErrorReport::showUnexpectedError(kProcedure, refused->number(),
                                         QString::fromUtf8(refused->what()));
        return;
    }
    ErrorReport::showUnexpectedError(kProcedure, error);
}

void showNoFolder() {
    QString sText = kNoFolder;
    for (const QString& folder : spreadsheet::workbookFolderCandidates())
        sText += QLatin1Char('\r') + QDir::toNativeSeparators(folder);
    platform::MsgBox(sText, platform::vbOKOnly | platform::vbCritical, ErrorReport::kTitle);
}

// What went wrong in the words of the user's situation, then where and the system's
// own reason: a full disk is not a program error.
void showNotSaved(const QString& sPath, const platform::SafeFile::Failure& failure) {
    QString sText = kNotSaved;
    switch (failure.errnum) {
    case ENOSPC:
    case EDQUOT:
        sText = kDiskFull;
        break;
    case EACCES:
    case EPERM:
    case EROFS:
        sText = kFolderNotWritable;
        break;
    default:
        break;
    }
    sText += QStringLiteral("\r保存先：") + QDir::toNativeSeparators(sPath) +
             QStringLiteral("\r理由：") + failure.reason;
    platform::MsgBox(sText, platform::vbOKOnly | platform::vbCritical, ErrorReport::kTitle);
}

} // namespace

ExportRun::ExportRun(std::uint32_t lnDialogHwnd, ExportHost& host)
    : m_lnDialogHwnd(lnDialogHwnd), m_host(host) {}

ExportRun::~ExportRun() = default;

bool ExportRun::run(const ExportChoices& choices) {
    using namespace spreadsheet;
    // Here the spreadsheet's workbook is a file: without a folder to put it in, nothing
    // the run makes could reach the user.
    if (workbookFolder().isEmpty()) {
        basWindowAPI::pu_subSetForeground(m_lnDialogHwnd);
        showNoFolder();
        return false;
    }
    if (!basExcel::pu_fun_bGetExcel(m_oExcel)) {
        basWindowAPI::pu_subSetForeground(m_lnDialogHwnd);
        platform::MsgBox(kNoExcel, platform::vbOKOnly | platform::vbCritical, ErrorReport::kTitle);
        return false;
    }
    Application& oExcel = *m_oExcel;
    bool bWritten = false;
    // Whatever fails from here on is reported, and the spreadsheet's screen is switched
    // back on below: a run that stopped half-way must not leave it frozen.
    try {
        if (oExcel.WindowState() == xlMinimized)
            oExcel.setWindowState(xlNormal);
        basWindowAPI::pu_subSetForeground(
            basWindowAPI::pu_fun_lnFindWindow(QString(), oExcel.Caption()));
        basWindowAPI::pu_subSetForeground(m_lnDialogHwnd);

        m_oBook = &oExcel.addWorkbook();
        Worksheet* oSheet = &m_oBook->worksheet(1);

        QString sDrawingName;
        try {
            sDrawingName = drawing(choices).Name();
            oSheet->setName(sDrawingName);
        } catch (const std::exception&) {
            ErrorTrap::skip([&] { oSheet->setName(kListSheetName); });
        }
        for (int i = m_oBook->worksheetCount(); i >= 2; --i)
            ErrorTrap::skip([&] { m_oBook->worksheet(i).Delete(); });

        const QList<QList<QVariant>> vTable = layerTable(drawing(choices), choices.sLayers);
        if (!basExcel::pu_fun_bOut_Array_Sheet(oExcel, *oSheet, vTable, 1)) {
            platform::MsgBox(kTableFailed, platform::vbOKOnly | platform::vbExclamation,
                             ErrorReport::kTitle);
        } else {
            oExcel.setScreenUpdating(false);
            pr_subPlaceImages(choices, vTable, oSheet);
            m_oBook->worksheet(1).Activate();
            oExcel.setScreenUpdating(true);
            bWritten = pr_fun_bSaveWorkbook(sDrawingName);
            if (bWritten)
                platform::MsgBox(kDone, platform::vbOKOnly | platform::vbInformation,
                                 ErrorReport::kTitle);
        }
    } catch (const std::exception& error) {
        reportUnexpected(error);
    }
    ErrorTrap::skip([&] { oExcel.setScreenUpdating(true); });
    return bWritten;
}

QList<QList<QVariant>> ExportRun::layerTable(acad::AcadDocument& oAcadDoc,
                                             const QStringList& sLayers) {
    QList<QList<QVariant>> vTable;
    vTable.reserve(sLayers.size() + 1);
    vTable.append(
        {QStringLiteral("No"), QStringLiteral("画層名"), QStringLiteral("オブジェクト数")});
    for (qsizetype i = 0; i < sLayers.size(); ++i) {
        const qint32 lnCount = pu_fun_lnObjectCount(oAcadDoc, QVariant(sLayers[i]));
        vTable.append({QVariant(qint32(i + 1)), QVariant(sLayers[i]), QVariant(lnCount)});
    }
    return vTable;
}

void ExportRun::pr_subPlaceImages(const ExportChoices& choices,
                                  const QList<QList<QVariant>>& vTable,
                                  spreadsheet::Worksheet* oSheet) {
    qint32 lnSheetNo = 0;
    if (!choices.bSeparateSheet) {
        // Sheet "1" is there even when no layer has a picture.
        oSheet = &m_oBook->addWorksheetAfter(*oSheet);
        lnSheetNo = 1;
        oSheet->setName(QVariant(lnSheetNo));
    }
    qint32 k = 0;
    for (qsizetype r = 1; r < vTable.size(); ++r) {
        const QString sName = vTable[r][1].toString();
        const qint32 lnCount = vTable[r][2].toInt();
        if (lnCount <= 0)
            continue;
        // A layer the refresh drew no picture of (the macro failed on it, or its name
        // cannot be a file name) keeps its row in the table and is left out here, as a
        // layer without objects is: one missing picture must not cost the others.
        const QString sFile = m_host.layerPicturePath(sName);
        std::optional<spreadsheet::PictureFile> oFile;
        if (!sFile.isEmpty()) {
            try {
                oFile = spreadsheet::readPictureFile(sFile);
            } catch (const spreadsheet::SpreadsheetError&) {
            }
        }
        if (!oFile)
            continue;
        ++k;
        if (choices.bSeparateSheet) {
            oSheet = &m_oBook->addWorksheetAfter(*oSheet);
            pr_subNameLayerSheet(*oSheet, sName);
        } else if (qint64(k) > qint64(choices.lnRowNum) * choices.lnColNum * lnSheetNo) {
            oSheet = &m_oBook->addWorksheetAfter(*oSheet);
            ++lnSheetNo;
            oSheet->setName(QVariant(lnSheetNo));
        }
        qint32 lnRow = pr_fun_iImageRow(k, choices.lnRowNum, choices.lnColNum, lnSheetNo);
        qint32 lnCol = pr_fun_iImageCol(k, choices.lnRowNum, choices.lnColNum, lnSheetNo);
        if (choices.bSeparateSheet) {
            lnRow = 1;
            lnCol = 1;
        }
        pr_subInsertImage(*m_oExcel, *oSheet, sName, QString::number(lnCount), sFile,
                          std::move(*oFile), choices.snWidth, choices.snOffset, choices.bFrame,
                          choices.snFrame, lnRow, lnCol);
    }
}

void ExportRun::pr_subNameLayerSheet(spreadsheet::Worksheet& oSheet, const QString& sLayerName) {
    try {
        oSheet.setName(sLayerName);
    } catch (const spreadsheet::SpreadsheetError&) {
        // A layer name the spreadsheet refuses for a sheet ("A/B", a long name, one that
        // differs from another only in case) still gets its sheet; the table and the
        // caption keep the layer's own name.
        oSheet.setName(spreadsheet::acceptedSheetName(sLayerName, m_oBook->sheetNames(&oSheet)));
    }
}

qint32 ExportRun::pr_fun_iImageRow(qint32 iNo, qint32 iRowNum, qint32 iColNum, qint32 iSheetNo) {
    qint32 g = iNo / iColNum;
    if (iNo % iColNum != 0)
        g += 1;
    if (g > iRowNum)
        g -= iRowNum * (iSheetNo - 1);
    return g;
}

qint32 ExportRun::pr_fun_iImageCol(qint32 iNo, qint32 /*iRowNum*/, qint32 iColNum,
                                   qint32 /*iSheetNo*/) {
    qint32 g = iNo / iColNum;
    if (iNo % iColNum != 0)
        g += 1;
    return iNo - iColNum * (g - 1);
}

void ExportRun::pr_subInsertImage(spreadsheet::Application& oExcel, spreadsheet::Worksheet& oSheet,
                                  const QString& sLayerName, const QString& sCount,
                                  const QString& sFile, spreadsheet::PictureFile oFile,
                                  float snWidth, float snOffset, bool bFrame, float snFrame,
                                  qint32 lnRow, qint32 lnCol) {
    using namespace spreadsheet;
    Picture& oPicture = oSheet.insertPicture(sFile, std::move(oFile));
    const double w0 = oPicture.Width();
    const double h0 = oPicture.Height();
    if (w0 == 0)
        throw platform::vbError(platform::vberr::DivisionByZero);
    oPicture.setWidth(oExcel.CentimetersToPoints(snWidth));
    oPicture.setHeight(oPicture.Width() * h0 / w0);
    if (bFrame) {
        oPicture.Border().lineStyle = xlAutomatic;
        oPicture.Border().weight = snFrame;
        oPicture.Border().color = 0;
    } else {
        oPicture.Border().lineStyle = xlLineStyleNone;
    }
    const double W = oPicture.Width();
    const double H = oPicture.Height();
    const double S = oExcel.CentimetersToPoints(snOffset);
    // The frame's weight is part of the step down also when there is no frame, so
    // switching the frame off does not move the pictures.
    const double F = snFrame;
    oPicture.setTop((S + H + F + kCaptionGap + kCaptionHeight) * (lnRow - 1) + kMargin);
    oPicture.setLeft((S + W) * (lnCol - 1) + kMargin);

    Shape& oCaption = oSheet.addTextbox(msoTextOrientationHorizontal, oPicture.Left(),
                                        oPicture.Top() + H + F + kCaptionGap, W, kCaptionHeight);
    oCaption.setText(sLayerName + QChar(10) + kCountLabel + sCount);
    oCaption.setHorizontalAlignment(xlCenter);
    oCaption.setFontSize(kCaptionFontSize);
    oCaption.setPlacement(xlMove);
}

bool ExportRun::pr_fun_bSaveWorkbook(const QString& sDrawingName) {
    const QString sFolder = spreadsheet::workbookFolder();
    if (sFolder.isEmpty()) {
        showNoFolder();
        return false;
    }
    QString sBase = QFileInfo(sDrawingName).completeBaseName();
    if (sBase.isEmpty())
        sBase = kListSheetName;
    const QString sPath = spreadsheet::unusedWorkbookPath(sFolder, sBase);
    if (sPath.isEmpty()) {
        showNotSaved(sFolder, {0, kNoUnusedName});
        return false;
    }
    platform::SafeFile::Failure failure;
    if (!spreadsheet::writeXlsx(*m_oBook, sPath, &failure)) {
        showNotSaved(sPath, failure);
        return false;
    }
    m_sWorkbookPath = sPath;
    // Without a program for it the workbook is still there; the window says where.
    if (!m_host.openWorkbook(sPath))
        m_host.showStatusText(QStringLiteral("Excelシートを保存しました：") +
                              QDir::toNativeSeparators(sPath));
    return true;
}
