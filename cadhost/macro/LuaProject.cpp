#include "cadhost/macro/LuaProject.h"

#include <QFileInfo>
#include <QLoggingCategory>

#include <cstdlib>
#include <lua.hpp>

Q_LOGGING_CATEGORY(lcMacro, "korvel.cadhost.macro")

namespace cadhost {

namespace {

// Instructions between two looks at the clock: cheap enough not to show in a profile,
// frequent enough that a stop comes within milliseconds of the limit.
constexpr int kHookInterval = 20000;

// pcall and xpcall that let the stop of a runaway macro through: without this a macro
// looping around pcall would catch the time-limit error and go on for ever.
int finishProtected(lua_State* L, int status, lua_KContext extra) {
    if (status != LUA_OK && status != LUA_YIELD) {
        if (LuaProject::of(L)->stopping()) {
            // The error object may have been replaced by xpcall's handler; raise the
            // stop itself again.
            lua_pushstring(L, LuaProject::of(L)->stopMessage());
            return lua_error(L);
        }
        lua_pushboolean(L, 0);
        lua_pushvalue(L, -2);
        return 2;
    }
    return lua_gettop(L) - static_cast<int>(extra);
}

int safePcall(lua_State* L) {
    luaL_checkany(L, 1);
    lua_pushboolean(L, 1);
    lua_insert(L, 1);
    const int status = lua_pcallk(L, lua_gettop(L) - 2, LUA_MULTRET, 0, 0, finishProtected);
    return finishProtected(L, status, 0);
}

int safeXpcall(lua_State* L) {
    const int n = lua_gettop(L);
    luaL_checktype(L, 2, LUA_TFUNCTION);
    lua_pushboolean(L, 1);
    lua_pushvalue(L, 1);
    lua_rotate(L, 3, 2);
    const int status = lua_pcallk(L, n - 2, LUA_MULTRET, 2, 2, finishProtected);
    return finishProtected(L, status, 2);
}

// Lua runs every finaliser with the debug hooks off, at a collection during a macro and
// when lua_close ends a project (every reload does), so no time limit can stop one that
// loops: a few bytes of project would hang the host for ever. Running the close under the
// limit would not help, the hook never fires there. A macro has no use for finalisers, so
// none may be made: Lua marks an object for finalisation only when setmetatable gives it
// a metatable that holds __gc at that moment (even false; the value is looked up when it
// runs), a field added later marks nothing, and this is the macros' only way to set a
// metatable (there is no debug library). To-be-closed variables' __close runs in the
// macro's own call, hooks on, within its limit.
int setmetatableWithoutFinaliser(lua_State* L) {
    if (lua_type(L, 2) == LUA_TTABLE) {
        lua_pushliteral(L, "__gc");
        const bool finaliser = lua_rawget(L, 2) != LUA_TNIL;
        lua_pop(L, 1);
        if (finaliser)
            return luaL_error(L, "finalisers (__gc) are not available to macros");
    }
    lua_pushvalue(L, lua_upvalueindex(1));
    lua_insert(L, 1);
    lua_call(L, lua_gettop(L) - 1, 1);
    return 1;
}

int logPrint(lua_State* L) {
    QByteArray line;
    const int n = lua_gettop(L);
    for (int i = 1; i <= n; ++i) {
        if (i > 1)
            line += '\t';
        line += luaL_tolstring(L, i, nullptr);
        lua_pop(L, 1);
    }
    qCInfo(lcMacro).noquote() << QString::fromUtf8(line);
    return 0;
}

int messageHandler(lua_State* L) {
    // Keep the message as Lua gives it ("TARNIX.dvb:12: ..."); a traceback would bury it
    // in the CAD's error box.
    if (!lua_isstring(L, 1)) {
        luaL_tolstring(L, 1, nullptr);
    }
    return 1;
}

} // namespace

LuaProject::LuaProject(QString name, QString filePath, Limits limits)
    : m_name(std::move(name)), m_filePath(std::move(filePath)),
      m_paths(QFileInfo(m_filePath).absolutePath()), m_limits(limits) {
    m_L = lua_newstate(&LuaProject::allocate, this);
    if (!m_L)
        throw std::bad_alloc();
    *static_cast<LuaProject**>(lua_getextraspace(m_L)) = this;
    lua_sethook(m_L, &LuaProject::countHook, LUA_MASKCOUNT, kHookInterval);
    openSandbox();
}

LuaProject::~LuaProject() {
    if (m_L)
        lua_close(m_L);
}

LuaProject* LuaProject::of(lua_State* L) {
    return *static_cast<LuaProject**>(lua_getextraspace(L));
}

void* LuaProject::allocate(void* ud, void* ptr, std::size_t oldSize, std::size_t newSize) {
    auto* self = static_cast<LuaProject*>(ud);
    const std::size_t old = ptr ? oldSize : 0;
    if (newSize == 0) {
        std::free(ptr);
        self->m_memoryUsed -= old;
        return nullptr;
    }
    if (newSize > old && self->m_memoryUsed - old + newSize > self->m_limits.memory)
        return nullptr;
    void* block = std::realloc(ptr, newSize);
    if (block)
        self->m_memoryUsed = self->m_memoryUsed - old + newSize;
    return block;
}

void LuaProject::countHook(lua_State* L, lua_Debug*) {
    checkTime(L);
}

void LuaProject::checkTime(lua_State* L) {
    LuaProject* self = of(L);
    if (!self->m_stopping && std::chrono::steady_clock::now() < self->m_deadline)
        return;
    self->m_stopping = true;
    lua_pushstring(L, self->stopMessage());
    lua_error(L);
}

const char* LuaProject::stopMessage() const {
    if (m_stopMessage.isEmpty()) {
        m_stopMessage = QByteArray("macro stopped: it ran longer than ") +
                        QByteArray::number(double(m_limits.time.count()) / 1000.0) + " s";
    }
    return m_stopMessage.constData();
}

void LuaProject::openSandbox() {
    static const luaL_Reg kLibraries[] = {{LUA_GNAME, luaopen_base},
                                          {LUA_TABLIBNAME, luaopen_table},
                                          {LUA_STRLIBNAME, luaopen_string},
                                          {LUA_MATHLIBNAME, luaopen_math},
                                          {LUA_UTF8LIBNAME, luaopen_utf8}};
    for (const luaL_Reg& lib : kLibraries) {
        luaL_requiref(m_L, lib.name, lib.func, 1);
        lua_pop(m_L, 1);
    }

    // Base functions that reach the file system or load arbitrary (binary) chunks go.
    for (const char* name : {"dofile", "loadfile", "load", "require", "collectgarbage"}) {
        lua_pushnil(m_L);
        lua_setglobal(m_L, name);
    }
    lua_getglobal(m_L, LUA_STRLIBNAME);
    lua_pushnil(m_L);
    lua_setfield(m_L, -2, "dump");
    lua_pop(m_L, 1);
    installBoundedPatterns(m_L);

    lua_getglobal(m_L, "setmetatable");
    lua_pushcclosure(m_L, setmetatableWithoutFinaliser, 1);
    lua_setglobal(m_L, "setmetatable");
    lua_register(m_L, "pcall", safePcall);
    lua_register(m_L, "xpcall", safeXpcall);
    lua_register(m_L, "print", logPrint);

    // os: the clock and dates only; its library is opened unregistered and picked from.
    luaL_requiref(m_L, LUA_OSLIBNAME, luaopen_os, 0);
    lua_newtable(m_L);
    for (const char* name : {"clock", "time", "date", "difftime"}) {
        lua_getfield(m_L, -2, name);
        lua_setfield(m_L, -2, name);
    }
    lua_setglobal(m_L, LUA_OSLIBNAME);
    lua_pop(m_L, 1);
    lua_pushnil(m_L);
    lua_setfield(m_L, LUA_REGISTRYINDEX, LUA_LOADED_TABLE);

    installHostApi(m_L);
}

QString LuaProject::protectedCall(int nargs) {
    m_stopping = false;
    m_deadline = std::chrono::steady_clock::now() + m_limits.time;
    lua_pushcfunction(m_L, messageHandler);
    const int handler = lua_gettop(m_L) - nargs - 1;
    lua_insert(m_L, handler);
    const int status = lua_pcall(m_L, nargs, 0, handler);
    QString message;
    if (status != LUA_OK) {
        size_t length = 0;
        const char* text = lua_tolstring(m_L, -1, &length);
        message =
            text ? QString::fromUtf8(text, qsizetype(length)) : QStringLiteral("unknown Lua error");
        if (message.isEmpty())
            message = QStringLiteral("error with an empty message");
        lua_pop(m_L, 1);
    }
    lua_remove(m_L, handler);
    if (m_stopping)
        message = QString::fromUtf8(stopMessage());
    m_stopping = false;
    return message;
}

QString LuaProject::runChunk(const QByteArray& source) {
    QByteArray text = source;
    if (text.startsWith("\xEF\xBB\xBF"))
        text.remove(0, 3);
    const QByteArray chunkName = "@" + QFileInfo(m_filePath).fileName().toUtf8();
    // Text only: precompiled chunks are not checked by Lua and could break the host.
    if (luaL_loadbufferx(m_L, text.constData(), size_t(text.size()), chunkName.constData(), "t") !=
        LUA_OK) {
        const QString message = QString::fromUtf8(lua_tostring(m_L, -1));
        lua_pop(m_L, 1);
        return message;
    }
    return protectedCall(0);
}

QString LuaProject::callMacro(const QByteArray& module, const QByteArray& procedure,
                              MacroHost* host, bool* found) {
    *found = false;
    // Raw lookups only: a metamethod of the project's tables must not run outside the
    // protected call and its time limit.
    lua_settop(m_L, 0);
    lua_rawgeti(m_L, LUA_REGISTRYINDEX, LUA_RIDX_GLOBALS);
    lua_pushlstring(m_L, module.constData(), size_t(module.size()));
    if (lua_rawget(m_L, -2) != LUA_TTABLE) {
        lua_settop(m_L, 0);
        return {};
    }
    lua_pushlstring(m_L, procedure.constData(), size_t(procedure.size()));
    if (lua_rawget(m_L, -2) != LUA_TFUNCTION) {
        lua_settop(m_L, 0);
        return {};
    }
    lua_replace(m_L, 1);
    lua_settop(m_L, 1);
    *found = true;
    m_host = host;
    QString message = protectedCall(0);
    m_host = nullptr;
    lua_settop(m_L, 0);
    return message;
}

} // namespace cadhost
