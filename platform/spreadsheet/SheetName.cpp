#include "platform/spreadsheet/Spreadsheet.h"

namespace spreadsheet {

namespace {

constexpr int kMaxSheetName = 31;
const QString kRefusedCharacters = QStringLiteral(":\\/?*[]");

// Control characters cannot be written into the workbook's XML at all.
bool isRefusedCharacter(QChar c) {
    return kRefusedCharacters.contains(c) || c.unicode() < 0x20 || c.unicode() == 0xFFFE ||
           c.unicode() == 0xFFFF;
}

bool hasLoneSurrogate(const QString& s) {
    for (qsizetype i = 0; i < s.size(); ++i) {
        if (s[i].isHighSurrogate() && i + 1 < s.size() && s[i + 1].isLowSurrogate())
            ++i;
        else if (s[i].isSurrogate())
            return true;
    }
    return false;
}

bool takenBy(const QString& name, const QStringList& others) {
    for (const QString& other : others) {
        if (other.compare(name, Qt::CaseInsensitive) == 0)
            return true;
    }
    return false;
}

// Cuts to `length` UTF-16 units without splitting a surrogate pair.
QString cut(const QString& s, qsizetype length) {
    if (s.size() <= length)
        return s;
    if (length > 0 && s[length - 1].isHighSurrogate())
        --length;
    return s.left(length);
}

} // namespace

bool isAcceptedSheetName(const QString& name, const QStringList& others) {
    if (name.isEmpty() || name.size() > kMaxSheetName)
        return false;
    if (name.startsWith(QLatin1Char('\'')) || name.endsWith(QLatin1Char('\'')))
        return false;
    for (const QChar c : name) {
        if (isRefusedCharacter(c))
            return false;
    }
    if (hasLoneSurrogate(name))
        return false;
    if (name.compare(QLatin1String("History"), Qt::CaseInsensitive) == 0)
        return false;
    return !takenBy(name, others);
}

namespace {

// The characters of `wanted` a sheet name may hold, cut to the longest name allowed.
QString mended(const QString& wanted) {
    QString name;
    name.reserve(wanted.size());
    for (qsizetype i = 0; i < wanted.size(); ++i) {
        const QChar c = wanted[i];
        if (c.isHighSurrogate() && i + 1 < wanted.size() && wanted[i + 1].isLowSurrogate()) {
            name += c;
            name += wanted[++i];
        } else {
            name += isRefusedCharacter(c) || c.isSurrogate() ? QLatin1Char('_') : c;
        }
    }
    while (name.startsWith(QLatin1Char('\'')))
        name.remove(0, 1);
    name = cut(name, kMaxSheetName);
    while (name.endsWith(QLatin1Char('\'')))
        name.chop(1);
    return name;
}

} // namespace

QString acceptedSheetName(const QString& wanted, const QStringList& others,
                          const QString& fallback) {
    QString name = mended(wanted);
    if (name.isEmpty())
        name = mended(fallback);
    if (name.isEmpty())
        name = QStringLiteral("Sheet");
    if (isAcceptedSheetName(name, others))
        return name;
    // "History" is refused whatever the other sheets are called; a numbered name only
    // when another sheet has it. So among one number more than there are other sheets,
    // one is free.
    for (qsizetype n = 2; n <= others.size() + 2; ++n) {
        const QString suffix = QStringLiteral(" (%1)").arg(n);
        const QString numbered = cut(name, kMaxSheetName - suffix.size()) + suffix;
        if (isAcceptedSheetName(numbered, others))
            return numbered;
    }
    throw SpreadsheetError(errRefusedValue,
                           QStringLiteral("No sheet name can be made of %1.").arg(wanted));
}

} // namespace spreadsheet
