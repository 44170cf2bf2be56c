#pragma once

#include "automation/AutomationWire.h"

class QObject;

namespace cadhost::dbus {

// Serves one call of the private socket on the very object the bus serves, through its
// meta-object as the bus adaptor does: its scriptable slots and properties, the bus's
// Properties.Get/Set, the same argument types. A member that throws answers with the
// error's number and description, as AutoCAD.Error does on the bus.
acadwire::Reply invokeMember(QObject& object, const acadwire::Request& request);

} // namespace cadhost::dbus
