#include "VbNumeric.h"

#include "VbError.h"
#include "VbErrorText.h"

#include <QDateTime>
#include <QRegularExpression>
#include <cmath>
#include <limits>

namespace platform::vb {
namespace {

template <typename T> T roundToWhole(double value) {
    const double rounded = std::nearbyint(value); // default rounding mode: half to even
    if (!std::isfinite(rounded) || rounded < double(std::numeric_limits<T>::min()) ||
        rounded > double(std::numeric_limits<T>::max()))
        throw vbError(ErrOverflow);
    return static_cast<T>(rounded);
}

bool isAsciiDigit(QChar c) {
    return c >= QLatin1Char('0') && c <= QLatin1Char('9');
}

bool isBlank(QChar c) {
    return c == QLatin1Char(' ') || c == QLatin1Char('\t');
}

bool validDate(int y, int m, int d) {
    return QDate::isValid(y, m, d);
}

bool validTime(int h, int mi, int s) {
    return h >= 0 && h < 24 && mi >= 0 && mi < 60 && s >= 0 && s < 60;
}

int expandYear(const QString& digits) {
    int y = digits.toInt();
    if (digits.size() <= 2)
        y += (y < 30) ? 2000 : 1900;
    return y;
}

QString formatDouble(double value, const QLocale& locale) {
    if (value == 0)
        return QStringLiteral("0");
    QString text = QString::number(value, 'g', 15);
    // Qt writes "1e+20"; VB writes "1E+20" and uses the locale's decimal point.
    const qsizetype e = text.indexOf(QLatin1Char('e'));
    if (e >= 0)
        text[e] = QLatin1Char('E');
    const QString point = locale.decimalPoint();
    if (point != QLatin1String("."))
        text.replace(QLatin1Char('.'), point);
    return text;
}

} // namespace

qint16 CInt(double value) {
    return roundToWhole<qint16>(value);
}
qint32 CLng(double value) {
    return roundToWhole<qint32>(value);
}
double Int(double value) {
    return std::floor(value);
}

std::optional<double> textToNumber(const QString& text, const QLocale& locale) {
    const QString point = locale.decimalPoint();
    const QString group = locale.groupSeparator();
    const QString s = text;
    qsizetype i = 0;
    const qsizetype n = s.size();
    while (i < n && isBlank(s[i]))
        ++i;
    qsizetype end = n;
    while (end > i && isBlank(s[end - 1]))
        --end;
    if (end - i == 1 && !isAsciiDigit(s[i]))
        return std::nullopt;

    QString normal; // the same number in C-locale form
    if (i < end && (s[i] == QLatin1Char('+') || s[i] == QLatin1Char('-')))
        normal += s[i++];
    int digits = 0;
    while (i < end) {
        if (isAsciiDigit(s[i])) {
            normal += s[i++];
            ++digits;
        } else if (digits > 0 && !group.isEmpty() && s.mid(i, group.size()) == group &&
                   i + group.size() < end && isAsciiDigit(s[i + group.size()])) {
            i += group.size(); // group separators stand only between digits
        } else {
            break;
        }
    }
    if (i < end && s.mid(i, point.size()) == point) {
        normal += QLatin1Char('.');
        i += point.size();
        while (i < end && isAsciiDigit(s[i])) {
            normal += s[i++];
            ++digits;
        }
    }
    if (digits == 0)
        return std::nullopt;
    if (i < end && (s[i] == QLatin1Char('e') || s[i] == QLatin1Char('E'))) {
        normal += QLatin1Char('e');
        ++i;
        if (i < end && (s[i] == QLatin1Char('+') || s[i] == QLatin1Char('-')))
            normal += s[i++];
        int expDigits = 0;
        while (i < end && isAsciiDigit(s[i])) {
            normal += s[i++];
            ++expDigits;
        }
        if (expDigits == 0)
            return std::nullopt;
    }
    if (i != end)
        return std::nullopt;
    bool ok = false;
    const double value = QLocale::c().toDouble(normal, &ok);
    if (!ok || !std::isfinite(value))
        return std::nullopt;
    return value;
}

bool IsNumeric(const QString& text, const QLocale& locale) {
    return textToNumber(text, locale).has_value();
}

bool IsDate(const QString& text) {
    static const QRegularExpression timeRe(
        QStringLiteral("^(\\d{1,2}):(\\d{1,2})(?::(\\d{1,2}))?$"));
    static const QRegularExpression ymdRe(
        QStringLiteral("^(\\d{1,2}|\\d{4})([/.-])(\\d{1,2})\\2(\\d{1,2})$"));
    static const QRegularExpression mdRe(QStringLiteral("^(\\d{1,2})([/.-])(\\d{1,2})$"));
    static const QRegularExpression ymdJaRe(
        QStringLiteral("^(\\d{1,4})年(\\d{1,2})月(\\d{1,2})日$"));
    static const QRegularExpression mdJaRe(QStringLiteral("^(\\d{1,2})月(\\d{1,2})日$"));

    const QString s = text.trimmed();
    if (s.isEmpty())
        return false;

    auto timeOk = [&](const QString& part) {
        const auto m = timeRe.match(part);
        return m.hasMatch() && validTime(m.captured(1).toInt(), m.captured(2).toInt(),
                                         m.captured(3).isEmpty() ? 0 : m.captured(3).toInt());
    };
    auto dateOk = [&](const QString& part) {
        if (auto m = ymdRe.match(part); m.hasMatch())
            return validDate(expandYear(m.captured(1)), m.captured(3).toInt(),
                             m.captured(4).toInt());
        if (auto m = ymdJaRe.match(part); m.hasMatch()) {
            if (m.captured(1).size() == 3)
                return false;
            return validDate(expandYear(m.captured(1)), m.captured(2).toInt(),
                             m.captured(3).toInt());
        }
        const int year = QDate::currentDate().year();
        if (auto m = mdRe.match(part); m.hasMatch())
            return validDate(year, m.captured(1).toInt(), m.captured(3).toInt());
        if (auto m = mdJaRe.match(part); m.hasMatch())
            return validDate(year, m.captured(1).toInt(), m.captured(2).toInt());
        return false;
    };

    if (timeOk(s))
        return true;
    const qsizetype blank = s.indexOf(QLatin1Char(' '));
    if (blank < 0)
        return dateOk(s);
    return dateOk(s.left(blank)) && timeOk(s.mid(blank + 1).trimmed());
}

QVariant Null() {
    return QVariant::fromValue(nullptr);
}

bool isNull(const QVariant& value) {
    return value.metaType() == QMetaType::fromType<std::nullptr_t>();
}

std::optional<double> variantToNumber(const QVariant& value, const QLocale& locale) {
    if (!value.isValid())
        return 0.0;
    switch (value.metaType().id()) {
    case QMetaType::Bool:
        return value.toBool() ? -1.0 : 0.0;
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::Long:
    case QMetaType::ULong:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
    case QMetaType::Short:
    case QMetaType::UShort:
    case QMetaType::Char:
    case QMetaType::SChar:
    case QMetaType::UChar:
    case QMetaType::Double:
    case QMetaType::Float:
        return value.toDouble();
    case QMetaType::QString:
    case QMetaType::QChar:
    case QMetaType::QByteArray:
        return textToNumber(value.toString(), locale);
    default:
        return std::nullopt;
    }
}

QString CStr(const QVariant& value, const QLocale& locale) {
    if (!value.isValid())
        return QString();
    if (isNull(value))
        throw vbError(ErrInvalidUseOfNull);
    switch (value.metaType().id()) {
    case QMetaType::Bool:
        return value.toBool() ? QStringLiteral("True") : QStringLiteral("False");
    case QMetaType::Int:
    case QMetaType::Long:
    case QMetaType::LongLong:
    case QMetaType::Short:
    case QMetaType::Char:
    case QMetaType::SChar:
        return QString::number(value.toLongLong());
    case QMetaType::UInt:
    case QMetaType::ULong:
    case QMetaType::ULongLong:
    case QMetaType::UShort:
    case QMetaType::UChar:
        return QString::number(value.toULongLong());
    case QMetaType::Double:
    case QMetaType::Float:
        return formatDouble(value.toDouble(), locale);
    case QMetaType::QString:
    case QMetaType::QChar:
    case QMetaType::QByteArray:
        return value.toString();
    case QMetaType::QDate:
        return locale.toString(value.toDate(), QLocale::ShortFormat);
    case QMetaType::QTime:
        return locale.toString(value.toTime(), QStringLiteral("H:mm:ss"));
    case QMetaType::QDateTime: {
        const QDateTime dt = value.toDateTime();
        if (dt.time() == QTime(0, 0))
            return locale.toString(dt.date(), QLocale::ShortFormat);
        return locale.toString(dt.date(), QLocale::ShortFormat) + QLatin1Char(' ') +
               locale.toString(dt.time(), QStringLiteral("H:mm:ss"));
    }
    default:
        throw vbError(vberr::TypeMismatch);
    }
}

} // namespace platform::vb
