#pragma once

#include "acad/AcadBackend.h"

#include <memory>

namespace acad {

// How the viewer reaches a CAD: attach to the one that runs, or start one. Both throw
// platform::AutomationError when they cannot. The default goes over the D-Bus session
// bus; tests put in their own (an in-process drawing, or a private bus).
class Connector {
public:
    virtual ~Connector() = default;

    // A running instance; throws when none runs.
    virtual std::shared_ptr<ApplicationBackend> attach() = 0;
    // A new instance, blocking until it answers; throws when it cannot be started.
    virtual std::shared_ptr<ApplicationBackend> create() = 0;
};

// The connector basAcadConnect uses. Never null: resetConnector() puts back the D-Bus
// one on the session bus.
Connector& connector();
void setConnector(std::shared_ptr<Connector> connector);
void resetConnector();

} // namespace acad
