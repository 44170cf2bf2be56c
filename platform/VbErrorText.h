#pragma once

#include "platform/VbError.h"

#include <QString>

namespace platform {

// The description the Japanese runtime gives an error number, so that every place that
// raises the same number words it the same way. Texts of properties and controls carry
// a "%1" for the name. A number the runtime does not know reads as its
// "application-defined" error, as VB's Err.Raise of such a number does.
QString vbErrorText(qint32 number);

// A VbError with the runtime's text; `name` fills the "%1" of the texts that have one.
VbError vbError(qint32 number, const QString& name = QString());
// The same for failures of an automation call that this side (not the server) detects.
AutomationError automationError(qint32 number, const QString& name = QString());

} // namespace platform
