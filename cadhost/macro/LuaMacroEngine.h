#pragma once

#include "automation/CadErrorNumbers.h"
#include "cadhost/macro/LuaProject.h"
#include "cadhost/model/MacroEngine.h"

#include <QStringList>
#include <functional>
#include <memory>
#include <vector>

namespace cadhost {

class MacroHost;

// The host's macro language: Lua 5.4 projects, each in its own sandboxed state (see
// LuaProject). Projects are named after their file's base name and looked up without
// regard to case, as a CAD's project names are; module and procedure names are Lua
// names and compare exactly.
//
// Error numbers, chosen as an automation server reports such failures:
//   ProjectFileNotFound 0x80070002  the project file does not exist
//   ProjectLoadFailed   0x80004005  unreadable, a syntax error, or an error while loading
//   MacroNotFound       0x80020006  no such project, module table or function
//   MacroFailed         0x80020009  the macro raised an error (the Lua message follows)
//   MacroBusy           0x8001010A  a macro was asked to run while another one runs
class LuaMacroEngine final : public MacroEngine {
public:
    static constexpr qint32 ProjectFileNotFound = static_cast<qint32>(0x80070002u);
    static constexpr qint32 ProjectLoadFailed = caderr::Failed;
    static constexpr qint32 MacroNotFound = static_cast<qint32>(0x80020006u);
    static constexpr qint32 MacroFailed = static_cast<qint32>(0x80020009u);
    static constexpr qint32 MacroBusy = static_cast<qint32>(0x8001010Au);

    // The provider gives the host of the active drawing when a macro starts, or null
    // when no drawing is open (macros then fail on their first use of Host).
    using HostProvider = std::function<MacroHost*()>;

    explicit LuaMacroEngine(HostProvider provider, LuaProject::Limits limits = {});
    ~LuaMacroEngine() override;

    void loadProject(const QString& path) override;
    void runMacro(const QString& fullName) override;

    QStringList projectNames() const;

private:
    LuaProject* findProject(const QString& name) const;

    HostProvider m_provider;
    LuaProject::Limits m_limits;
    std::vector<std::unique_ptr<LuaProject>> m_projects;
    bool m_running = false;
};

} // namespace cadhost
