#include "platform/spreadsheet/XmlText.h"

namespace spreadsheet::xml {

namespace {

bool isXmlChar(char16_t c) {
    return c == 0x9 || c == 0xA || c == 0xD || (c >= 0x20 && c != 0xFFFE && c != 0xFFFF);
}

// Whether `s` holds "_xHHHH_" at `i`.
bool looksLikeEscape(const QString& s, qsizetype i) {
    if (i + 7 > s.size() || s[i] != u'_' || s[i + 1] != u'x' || s[i + 6] != u'_')
        return false;
    for (qsizetype k = i + 2; k < i + 6; ++k) {
        const char16_t h = s[k].unicode();
        if (!((h >= u'0' && h <= u'9') || (h >= u'a' && h <= u'f') || (h >= u'A' && h <= u'F')))
            return false;
    }
    return true;
}

QString escapeCode(char16_t c) {
    return QStringLiteral("_x%1_").arg(
        QString::number(int(c), 16).rightJustified(4, QLatin1Char('0')).toUpper());
}

// Appends `c` escaped for markup; false when XML cannot carry it.
bool appendMarkup(QString& out, char16_t c) {
    switch (c) {
    case u'&':
        out += QLatin1String("&amp;");
        return true;
    case u'<':
        out += QLatin1String("&lt;");
        return true;
    case u'>':
        out += QLatin1String("&gt;");
        return true;
    case u'"':
        out += QLatin1String("&quot;");
        return true;
    case u'\t':
        out += QLatin1String("&#9;");
        return true;
    case u'\n':
        out += QLatin1String("&#10;");
        return true;
    case u'\r':
        out += QLatin1String("&#13;");
        return true;
    default:
        if (!isXmlChar(c))
            return false;
        out += QChar(c);
        return true;
    }
}

} // namespace

QString text(const QString& s) {
    QString out;
    out.reserve(s.size() + 16);
    for (qsizetype i = 0; i < s.size(); ++i) {
        const char16_t c = s[i].unicode();
        if (QChar::isHighSurrogate(c) && i + 1 < s.size() && s[i + 1].isLowSurrogate()) {
            out += s[i];
            out += s[++i];
        } else if (QChar::isSurrogate(c)) {
            out += QChar(0xFFFD);
        } else {
            appendMarkup(out, c);
        }
    }
    return out;
}

QString cellString(const QString& s) {
    QString out;
    out.reserve(s.size() + 16);
    for (qsizetype i = 0; i < s.size(); ++i) {
        const char16_t c = s[i].unicode();
        if (QChar::isHighSurrogate(c) && i + 1 < s.size() && s[i + 1].isLowSurrogate()) {
            out += s[i];
            out += s[++i];
        } else if (QChar::isSurrogate(c)) {
            out += QChar(0xFFFD);
        } else if (c == u'_' && looksLikeEscape(s, i)) {
            out += QLatin1String("_x005F_");
        } else if (c == u'\r' || !isXmlChar(c)) {
            out += escapeCode(c);
        } else {
            appendMarkup(out, c);
        }
    }
    return out;
}

} // namespace spreadsheet::xml
