#pragma once

#include <QString>

#include <ostream>

// Failures show texts as text rather than as a list of UTF-16 units. Found by argument-
// dependent lookup, so it must sit beside QString in the global namespace.
inline void PrintTo(const QString& s, std::ostream* os) {
    *os << '"' << s.toStdString() << '"';
}
