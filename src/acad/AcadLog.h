#pragma once

#include <QLoggingCategory>

// The CAD link's trace: every automation call with its timing, so a user can watch the
// conversation with the CAD (QT_LOGGING_RULES="korvel.acad.debug=true") without the rest.
Q_DECLARE_LOGGING_CATEGORY(lcAcad)
