#include "cadhost/model/HostLog.h"

Q_LOGGING_CATEGORY(lcCadhost, "korvel.cadhost", QtInfoMsg)
