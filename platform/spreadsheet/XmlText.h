#pragma once

#include <QString>

// Text as the workbook's XML parts can hold it. Layer names come from drawings and may
// hold anything: markup characters, and control characters XML 1.0 cannot carry at all.
namespace spreadsheet::xml {

// Element content or a double-quoted attribute value: markup escaped, line ends and tabs
// kept as character references, characters XML cannot carry dropped, a lone surrogate
// replaced by U+FFFD.
QString text(const QString& s);

// A cell string in the spreadsheet's own escape for what XML cannot carry: "_xHHHH_"
// for such a character, and "_x005F_" before text that would read as such an escape,
// so that the program reading the workbook gets back exactly `s`.
QString cellString(const QString& s);

} // namespace spreadsheet::xml
