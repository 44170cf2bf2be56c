#pragma once

#include "automation/CadErrorNumbers.h"
#include "platform/VbError.h"

#include <QString>

namespace cadhost {

// The description the host gives with each of the CAD's numbers (caderr).
QString cadErrorDescription(qint32 number);

// Throws platform::AutomationError with the number and its standard description, or
// with the given one.
[[noreturn]] void throwCadError(qint32 number, const QString& description = {});

} // namespace cadhost
