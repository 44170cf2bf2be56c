#pragma once

#include <QString>

namespace spreadsheet {

// How wide a text shows in a cell, in characters of the standard font: East Asian wide
// and fullwidth characters take two, halfwidth katakana and Latin text one, combining
// marks none. For several lines, the widest line.
double displayWidth(const QString& text);

} // namespace spreadsheet
