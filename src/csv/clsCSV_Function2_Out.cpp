#include "clsCSV_Function2.h"

#include "platform/SafeFile.h"
#include "platform/VbNumeric.h"

#include <QByteArray>

namespace {

QString quoted(const QString& t) {
    return QLatin1Char('"') + t + QLatin1Char('"');
}

bool firstIsNumeric(const QString& t) {
    return platform::vb::IsNumeric(t.left(1));
}

// The field as the quoting mode writes it.
QString applyMode(const QString& mode, const QString& t, const QString& delimiter) {
    if (mode == QLatin1String("CSV1"))
        return t.isEmpty() ? t : quoted(t);
    if (mode == QLatin1String("CSV2"))
        return t.contains(delimiter) ? quoted(t) : t;
    if (mode == QLatin1String("CSV3")) {
        if (!t.isEmpty() && (!platform::vb::IsNumeric(t) || !firstIsNumeric(t)))
            return quoted(t);
        return t.contains(delimiter) ? quoted(t) : t;
    }
    return quoted(t); // K3
}

struct Exceptions {
    bool chkEmpty, optEmptyOK, chkNum, optNumOK, chkNum0, chkDate;
    QString dateHead, dateBack;
};

// The exception rules, in order; each one that applies replaces what came before.
QString applyExceptions(const Exceptions& x, const QString& t, QString field,
                        const QString& delimiter) {
    const bool numeric = platform::vb::IsNumeric(t);
    if (x.chkEmpty && t.isEmpty())
        field = x.optEmptyOK ? QStringLiteral("\"\"") : QString();
    if (x.chkNum && numeric && firstIsNumeric(t))
        field = x.optNumOK ? quoted(t) : t;
    if (x.chkNum0 && numeric && t.startsWith(QLatin1Char('0')))
        field = quoted(t);
    if (x.chkDate && platform::vb::IsDate(t) && !numeric &&
        !t.contains(QLatin1Char('-'), Qt::CaseInsensitive) &&
        !t.contains(QLatin1Char('.'), Qt::CaseInsensitive))
        field = x.dateHead + t + x.dateBack;
    if (t.contains(delimiter) && !field.startsWith(QLatin1Char('"')))
        field = quoted(t);
    return field;
}

QString terminator(qint32 iReturn, const QString& delimiter) {
    switch (iReturn) {
    case 0:
    case 1:
        return QStringLiteral("\r\n");
    case 2:
        return QStringLiteral("\r");
    case 3:
        return QStringLiteral("\n");
    default:
        return delimiter; // every record on one line
    }
}

} // namespace

bool clsCSV_Function2::pu_fun_bOut_Array_CSV(
    const QString& sCSV_FilePath, const QString& sCSV_FileName, const VbArray2D& vCSV_Array,
    bool bMode, const QString& sCSVMode, bool bChkEmpty, bool bOptEmptyOK, bool bChkNum,
    bool bOptNumOK, bool bChkNum0, bool bChkDate, const QString& sTxtDateHead,
    const QString& sTxtDateBack, bool bReigai, qint32 iReturn, const QString& sDelimited) {
    // Without a delimiter the fields could never be told apart again; without a name the
    // target would be the folder itself.
    if (sDelimited.isEmpty() || sCSV_FileName.isEmpty())
        return false;

    const QString mode = sCSVMode.isEmpty() ? QStringLiteral("K3") : sCSVMode;
    const bool knownMode = mode == QLatin1String("CSV1") || mode == QLatin1String("CSV2") ||
                           mode == QLatin1String("CSV3") || mode == QLatin1String("K3");
    const bool slash = sCSV_FilePath.endsWith(QLatin1Char('/'));
    const QString target =
        sCSV_FilePath + (slash ? QString() : QStringLiteral("/")) + sCSV_FileName;
    const QString temp = sCSV_FilePath +
                         (slash ? QStringLiteral("buff_") : QStringLiteral("/buff_")) +
                         sCSV_FileName;
    const Exceptions rules{bChkEmpty, bOptEmptyOK, bChkNum,      bOptNumOK,
                           bChkNum0,  bChkDate,    sTxtDateHead, sTxtDateBack};

    QByteArray bytes;
    try {
        const qint32 lo1 = vCSV_Array.lbound(1), hi1 = vCSV_Array.ubound(1);
        const qint32 lo2 = vCSV_Array.lbound(2), hi2 = vCSV_Array.ubound(2);

        const QString end = terminator(iReturn, sDelimited);
        const qint32 recordLo = bMode ? lo2 : lo1, recordHi = bMode ? hi2 : hi1;
        const qint32 fieldLo = bMode ? lo1 : lo2, fieldHi = bMode ? hi1 : hi2;
        for (qint32 r = recordLo; knownMode && r <= recordHi; ++r) {
            QString record;
            for (qint32 f = fieldLo; f <= fieldHi; ++f) {
                const QString t =
                    platform::vb::CStr(bMode ? vCSV_Array.at(f, r) : vCSV_Array.at(r, f));
                QString field = applyMode(mode, t, sDelimited);
                if (bReigai)
                    field = applyExceptions(rules, t, field, sDelimited);
                if (f > fieldLo)
                    record += sDelimited;
                record += field;
            }
            record += end;
            bytes += record.toUtf8();
        }
    } catch (const std::exception&) {
        return false;
    }
    // Written under the temporary name, then put in the old file's place in one step:
    // the target is never deleted first, so there is no moment without it. When that
    // last step fails the temporary file stays: it holds the only copy of the new data.
    return platform::SafeFile::writeVia(temp, target, bytes);
}
