#pragma once

#include <QVariant>

namespace acadwire {

// A value as the bus types it, made plain for the private socket and for callers:
// variants as their contents, object paths as text, a string array as a QStringList,
// a list of ints as a list of numbers; lists are made plain item by item.
QVariant plainValue(const QVariant& value);

} // namespace acadwire
