#pragma once

#include "csv/VbArray2D.h"

#include <QString>
#include <QVariant>

// Delimited text tables: reads a file into a two-dimensional array (column, row) and
// writes such arrays back. Holds no state between calls; one instance serves a whole run.
class clsCSV_Function2 {
public:
    // Reads `sCSV_FileFullPath` into `vCSV_Array` (erased first; first index the column,
    // second the row, both from 1 when `bArrayMode`, else from 0). `vHeader` may be nullptr
    // (omitted); when it holds a list of more than one expected name (QVariantList or
    // QStringList, from index 0) the column count and the header line are checked, and a
    // failure leaves "Not Col Num" or "Not Head data" in it. `sDelimited` must be exactly one
    // character, otherwise the call returns false without a message. Only a regular file
    // (a folder, device or pipe is not) is read; a missing one is reported in a message box.
    // The file is UTF-8, or CP932 when it is not valid UTF-8; lines end at CR, CR LF or LF.
    bool pu_fun_bGet_CSV_Array(const QString& sCSV_FileFullPath, VbArray2D& vCSV_Array,
                               QVariant* vHeader, bool bArrayMode, bool bChkHeadZero,
                               bool bChkNotMozi, qint32 iHeaderLows, qint32 iHeaderLow,
                               bool bColComplete, const QString& sDelimited);

    // Writes `vCSV_Array` to folder `sCSV_FilePath` (with or without a trailing "/"), file
    // `sCSV_FileName`, through "buff_" + the file name in the same folder, as UTF-8 text.
    // The target is replaced by one rename only after everything was written, so it is
    // never missing or half written. Returns false, with the target untouched and no
    // temporary file left, when anything fails before that rename (an element without a
    // text form, an erased array, a folder that does not exist, an empty delimiter or file
    // name). If the rename itself fails the temporary file is kept: it then holds the only
    // copy of the new data.
    bool pu_fun_bOut_Array_CSV(const QString& sCSV_FilePath, const QString& sCSV_FileName,
                               const VbArray2D& vCSV_Array, bool bMode, const QString& sCSVMode,
                               bool bChkEmpty, bool bOptEmptyOK, bool bChkNum, bool bOptNumOK,
                               bool bChkNum0, bool bChkDate, const QString& sTxtDateHead,
                               const QString& sTxtDateBack, bool bReigai, qint32 iReturn,
                               const QString& sDelimited);
};
