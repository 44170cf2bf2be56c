#pragma once

#include "cadhost/macro/ProjectPaths.h"

#include <QByteArray>
#include <QString>
#include <chrono>
#include <cstddef>

struct lua_State;
struct lua_Debug;

namespace cadhost {

class MacroHost;

// One loaded macro project: its own sandboxed Lua state and the folder it may use.
// The state opens only the pure libraries (base without file loading, string, table,
// math, utf8, a clock-only os); there is no io, no package/require, no debug library
// and no way to load precompiled chunks. A count hook stops a runaway macro once the
// time limit has passed (the pattern functions, which run in C, look at the clock
// themselves), and an allocator cap stops one that eats memory; pcall and
// xpcall cannot swallow the stop.
class LuaProject {
public:
    struct Limits {
        std::chrono::milliseconds time{60000};
        std::size_t memory = std::size_t(512) * 1024 * 1024;
    };

    LuaProject(QString name, QString filePath, Limits limits);
    ~LuaProject();
    LuaProject(const LuaProject&) = delete;
    LuaProject& operator=(const LuaProject&) = delete;

    const QString& name() const { return m_name; }
    const QString& filePath() const { return m_filePath; }
    const ProjectPaths& paths() const { return m_paths; }

    // Both return an empty string on success, else the Lua error message.
    QString runChunk(const QByteArray& source);
    // Calls module.procedure with no arguments; host may be null (no active drawing).
    // Sets *found to false, and runs nothing, when there is no such function.
    QString callMacro(const QByteArray& module, const QByteArray& procedure, MacroHost* host,
                      bool* found);

    // For the bindings: the project owning a Lua state and the host of the running macro.
    static LuaProject* of(lua_State* L);
    MacroHost* host() const { return m_host; }
    bool stopping() const { return m_stopping; }
    // Stops the running macro (raises the stop as a Lua error) once its time is up; for
    // C functions that may run long, where the count hook cannot fire.
    static void checkTime(lua_State* L);
    const char* stopMessage() const;

private:
    static void* allocate(void* ud, void* ptr, std::size_t oldSize, std::size_t newSize);
    static void countHook(lua_State* L, lua_Debug* ar);
    void openSandbox();
    QString protectedCall(int nargs);

    QString m_name;
    QString m_filePath;
    ProjectPaths m_paths;
    Limits m_limits;
    std::size_t m_memoryUsed = 0;
    lua_State* m_L = nullptr;
    MacroHost* m_host = nullptr;
    std::chrono::steady_clock::time_point m_deadline{};
    bool m_stopping = false;
    mutable QByteArray m_stopMessage;
};

// Installs the global table Host (LuaHostApi.cpp).
void installHostApi(lua_State* L);
// Replaces the string library's pattern functions with ones that keep to the macro's
// time limit (LuaPatterns.cpp).
void installBoundedPatterns(lua_State* L);

} // namespace cadhost
