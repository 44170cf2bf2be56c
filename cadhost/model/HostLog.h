#pragma once

#include <QLoggingCategory>

// Everything the host has to say goes through one category, so a user can silence it or
// turn on its traces (QT_LOGGING_RULES="korvel.cadhost.debug=true") without the rest.
Q_DECLARE_LOGGING_CATEGORY(lcCadhost)
