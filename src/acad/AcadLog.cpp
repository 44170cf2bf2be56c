#include "AcadLog.h"

Q_LOGGING_CATEGORY(lcAcad, "korvel.acad", QtWarningMsg)
