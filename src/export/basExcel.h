#pragma once

#include <QList>
#include <QVariant>
#include <memory>

namespace spreadsheet {
class Application;
class Worksheet;
} // namespace spreadsheet

// Reaching the spreadsheet and writing a table into one of its sheets.
namespace basExcel {

// A spreadsheet to write into; it lives in this process, and the caller sees to a
// folder its workbook can be written to. False leaves oExcel empty.
bool pu_fun_bGetExcel(std::unique_ptr<spreadsheet::Application>& oExcel);

// vArray (rows of equal length, indices from 0) into oSheet with its top-left cell at
// (lnStartRow, 1), every cell with a thin border, the sheet's columns fitted to their
// text. oExcel is accepted for the callers' sake and not used. False on any failure.
bool pu_fun_bOut_Array_Sheet(spreadsheet::Application& oExcel, spreadsheet::Worksheet& oSheet,
                             const QList<QList<QVariant>>& vArray, const qint32& lnStartRow);

} // namespace basExcel
