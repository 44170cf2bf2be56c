#pragma once

#include <QString>

namespace cadhost {

// The host's macro language. The application forwards LoadDVB and RunMacro here;
// failures are thrown as platform::AutomationError with a description a user can act on.
class MacroEngine {
public:
    virtual ~MacroEngine() = default;

    // Loads (or reloads, replacing) the project file; its name is the file's base name.
    virtual void loadProject(const QString& path) = 0;
    // "PROJECT.module.procedure": runs it to the end.
    virtual void runMacro(const QString& fullName) = 0;
};

} // namespace cadhost
