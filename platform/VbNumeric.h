#pragma once

#include <QDate>
#include <QLocale>
#include <QString>
#include <QVariant>
#include <optional>

// VB's conversions between numbers, texts and variants, as the system's procedures rely
// on them: whole numbers round halves to the even neighbour, texts are read with the
// user's locale.
namespace platform::vb {

inline constexpr qint32 ErrOverflow = 6;
inline constexpr qint32 ErrInvalidUseOfNull = 94;

// CInt / CLng: round half to even; out of range raises VbError 6 (overflow).
qint16 CInt(double value);
qint32 CLng(double value);
// Int: the largest whole number not above the value.
double Int(double value);

// The number a text stands for in the given locale, or nothing. Accepted: blanks around
// the text, one leading sign, digits with the locale's group separators between them, the
// locale's decimal point, an exponent (E or e, optional sign, digits). A text of one
// character is a number only when that character is a digit. Overflow is not a number.
std::optional<double> textToNumber(const QString& text, const QLocale& locale = QLocale::system());

// VB IsNumeric for texts, with the rule above.
bool IsNumeric(const QString& text, const QLocale& locale = QLocale::system());

// VB IsDate for texts, as far as the system needs it. Accepted, with blanks around:
//   y/m/d, y-m-d, y.m.d   (year of 1, 2 or 4 digits; two-digit years 00-29 are 20xx,
//                          30-99 are 19xx)
//   m/d, m-d, m.d         (of the current year)
//   y年m月d日, m月d日
// each optionally followed by a blank and a time h:mm or h:mm:ss; a time alone is a date
// too. Month, day and time must exist in the calendar (2006/02/29 is not a date).
bool IsDate(const QString& text);

// Variant to number as VB converts it: numbers as they are, booleans -1/0, Empty 0,
// numeric texts through textToNumber. Nothing for anything else (Null, other types).
std::optional<double> variantToNumber(const QVariant& value,
                                      const QLocale& locale = QLocale::system());

// CStr of a variant: Empty gives "", numbers their shortest decimal form with the
// locale's decimal point (exponent form "1E+20" from 1E15 up), booleans "True"/"False",
// dates the locale's short form. Null raises VbError 94, a type without a text form
// (lists, maps, objects) VbError 13.
QString CStr(const QVariant& value, const QLocale& locale = QLocale::system());

// The Null of a VB variant (an invalid QVariant is Empty).
QVariant Null();
bool isNull(const QVariant& value);

} // namespace platform::vb
