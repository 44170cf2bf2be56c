#include "basExcel.h"

#include "platform/spreadsheet/Spreadsheet.h"

#include <exception>

namespace basExcel {

bool pu_fun_bGetExcel(std::unique_ptr<spreadsheet::Application>& oExcel) {
    oExcel.reset();
    try {
        oExcel = std::make_unique<spreadsheet::Application>();
        oExcel->setVisible(true);
        return true;
    } catch (const std::exception&) {
        oExcel.reset();
        return false;
    }
}

bool pu_fun_bOut_Array_Sheet(spreadsheet::Application& /*oExcel*/, spreadsheet::Worksheet& oSheet,
                             const QList<QList<QVariant>>& vArray, const qint32& lnStartRow) {
    try {
        if (vArray.isEmpty() || vArray.first().isEmpty())
            return false;
        const qint32 lnLastRow = qint32(vArray.size() - 1) + lnStartRow;
        const qint32 lnLastCol = qint32(vArray.first().size() - 1) + 1;
        spreadsheet::Range oRange =
            oSheet.RangeOf(oSheet.Cells(lnStartRow, 1), oSheet.Cells(lnLastRow, lnLastCol));
        oRange.setValue(vArray);
        spreadsheet::Borders borders;
        borders.lineStyle = spreadsheet::xlContinuous;
        borders.weight = spreadsheet::xlThin;
        borders.colorIndex = spreadsheet::xlColorIndexAutomatic;
        oRange.setBorders(borders);
        oSheet.AllCells().autoFitColumns();
        return true;
    } catch (const std::exception&) {
        return false;
    }
}

} // namespace basExcel
