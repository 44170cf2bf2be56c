#pragma once

#include <QString>
#include <QVariant>

namespace spreadsheet {

// What a cell value is to the spreadsheet: a number, a text, TRUE/FALSE, or nothing.
// Any other kind of value is kept as its text.
enum class CellKind { Empty, Number, Text, Boolean };

CellKind cellKind(const QVariant& value);

// The value as the spreadsheet shows it in a cell of the General format.
QString shownText(const QVariant& value);

} // namespace spreadsheet
