#pragma once

#include "export/ExportChoices.h"

#include <QList>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <cstdint>
#include <memory>

class ExportHost;

namespace spreadsheet {
struct PictureFile;
class Application;
class Workbook;
class Worksheet;
} // namespace spreadsheet

// One export: a new workbook with the layer table on its first sheet and the layers'
// pictures with their captions on the sheets after it, written to a new file and handed
// to the desktop. The outcome is reported by message box. The spreadsheet objects stay
// with the run until it is destroyed, so that they can be looked at afterwards.
class ExportRun {
public:
    // lnDialogHwnd: the export dialog's window, brought back to the front after the
    // spreadsheet's window has been raised.
    ExportRun(std::uint32_t lnDialogHwnd, ExportHost& host);
    ~ExportRun();

    // True when the workbook was written and read back whole.
    bool run(const ExportChoices& choices);

    const spreadsheet::Application* application() const { return m_oExcel.get(); }
    const spreadsheet::Workbook* workbook() const { return m_oBook; }
    QString workbookPath() const { return m_sWorkbookPath; }

    // Pictures are numbered from 1 across all sheets and fill each sheet row by row.
    static qint32 pr_fun_iImageRow(qint32 iNo, qint32 iRowNum, qint32 iColNum, qint32 iSheetNo);
    static qint32 pr_fun_iImageCol(qint32 iNo, qint32 iRowNum, qint32 iColNum, qint32 iSheetNo);
    // One picture (oFile, read from sFile) at its place in the grid, scaled to snWidth
    // centimetres, with its caption box below it.
    static void pr_subInsertImage(spreadsheet::Application& oExcel, spreadsheet::Worksheet& oSheet,
                                  const QString& sLayerName, const QString& sCount,
                                  const QString& sFile, spreadsheet::PictureFile oFile,
                                  float snWidth, float snOffset, bool bFrame, float snFrame,
                                  qint32 lnRow, qint32 lnCol);

    // The table of the first sheet: a heading row, then number, name and object count of
    // each layer in the order given.
    static QList<QList<QVariant>> layerTable(acad::AcadDocument& oAcadDoc,
                                             const QStringList& sLayers);

private:
    void pr_subPlaceImages(const ExportChoices& choices, const QList<QList<QVariant>>& vTable,
                           spreadsheet::Worksheet* oSheet);
    void pr_subNameLayerSheet(spreadsheet::Worksheet& oSheet, const QString& sLayerName);
    // False, the user told why, when the workbook could not be written whole.
    bool pr_fun_bSaveWorkbook(const QString& sDrawingName);

    std::uint32_t m_lnDialogHwnd;
    ExportHost& m_host;
    std::unique_ptr<spreadsheet::Application> m_oExcel;
    spreadsheet::Workbook* m_oBook = nullptr;
    QString m_sWorkbookPath;
};
