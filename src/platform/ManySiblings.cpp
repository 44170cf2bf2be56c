#include "ManySiblings.h"

#include <QByteArray>
#include <QtGlobal>

namespace platform {

void paintManySiblingsCheaply() {
    // Read by Qt once, at the first paint of any widget.
    if (!qEnvironmentVariableIsSet("QT_NO_SUBTRACTOPAQUESIBLINGS"))
        qputenv("QT_NO_SUBTRACTOPAQUESIBLINGS", QByteArray("1"));
}

} // namespace platform
