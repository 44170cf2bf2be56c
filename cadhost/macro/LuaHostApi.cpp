// The table Host: everything a macro may ask of the CAD. Each binding forwards to the
// MacroHost of the running macro or to ProjectPaths and knows nothing else.

#include "cadhost/macro/LuaProject.h"
#include "cadhost/macro/MacroHost.h"

#include "platform/VbError.h"

#include <QDir>
#include <QFileInfo>
#include <exception>
#include <lua.hpp>
#include <string>

namespace cadhost {

namespace {

using Binding = int (*)(lua_State*, LuaProject&);

[[noreturn]] void fail(qint32 number, const QString& description) {
    throw platform::AutomationError(number, description);
}

// Lua raises errors with longjmp, which would skip the destructors of C++ objects in
// a binding's frame. So a binding throws C++ exceptions only; this wrapper turns one
// into a Lua error after every C++ object of the call has gone.
bool runBinding(lua_State* L, Binding binding, int* results) {
    std::string message;
    try {
        *results = binding(L, *LuaProject::of(L));
        return true;
    } catch (const platform::VbError& error) {
        message = error.description().toStdString();
    } catch (const std::exception& error) {
        message = error.what();
    }
    lua_pushlstring(L, message.data(), message.size());
    return false;
}

template <Binding binding> int guarded(lua_State* L) {
    int results = 0;
    if (!runBinding(L, binding, &results)) {
        luaL_where(L, 1);
        lua_insert(L, -2);
        lua_concat(L, 2);
        return lua_error(L);
    }
    return results;
}

QByteArray stringArg(lua_State* L, int index, const char* what) {
    if (lua_type(L, index) != LUA_TSTRING)
        fail(platform::vberr::TypeMismatch,
             QStringLiteral("%1 must be a string").arg(QLatin1String(what)));
    size_t length = 0;
    const char* text = lua_tolstring(L, index, &length);
    return QByteArray(text, qsizetype(length));
}

void pushString(lua_State* L, const QString& text) {
    const QByteArray bytes = text.toUtf8();
    lua_pushlstring(L, bytes.constData(), size_t(bytes.size()));
}

MacroHost& activeHost(LuaProject& project) {
    if (!project.host())
        fail(platform::vberr::InvalidProcedureCall, QStringLiteral("No drawing is open"));
    return *project.host();
}

void pushLayer(lua_State* L, const MacroLayer& layer) {
    lua_createtable(L, 0, 5);
    pushString(L, layer.name);
    lua_setfield(L, -2, "Name");
    lua_pushboolean(L, layer.on);
    lua_setfield(L, -2, "LayerOn");
    lua_pushboolean(L, layer.frozen);
    lua_setfield(L, -2, "Freeze");
    lua_pushboolean(L, layer.locked);
    lua_setfield(L, -2, "Lock");
    lua_pushinteger(L, layer.color);
    lua_setfield(L, -2, "Color");
}

int projectFolder(lua_State* L, LuaProject& project) {
    pushString(L, project.paths().folder());
    return 1;
}

int layers(lua_State* L, LuaProject& project) {
    const QList<MacroLayer> all = activeHost(project).layers();
    lua_createtable(L, int(all.size()), 0);
    for (qsizetype i = 0; i < all.size(); ++i) {
        pushLayer(L, all[i]);
        lua_rawseti(L, -2, lua_Integer(i + 1));
    }
    return 1;
}

int layer(lua_State* L, LuaProject& project) {
    const QString name = QString::fromUtf8(stringArg(L, 1, "layer name"));
    const std::optional<MacroLayer> found = activeHost(project).layer(name);
    if (found)
        pushLayer(L, *found);
    else
        lua_pushnil(L);
    return 1;
}

int activeLayer(lua_State* L, LuaProject& project) {
    pushString(L, activeHost(project).activeLayer());
    return 1;
}

int regen(lua_State*, LuaProject& project) {
    activeHost(project).regen();
    return 0;
}

int isFileName(lua_State* L, LuaProject&) {
    lua_pushboolean(L, lua_type(L, 1) == LUA_TSTRING &&
                           ProjectPaths::isFileName(stringArg(L, 1, "name")));
    return 1;
}

int fileExists(lua_State* L, LuaProject& project) {
    const QFileInfo info(project.paths().resolveForRead(stringArg(L, 1, "path")));
    lua_pushboolean(L, info.exists() && !info.isDir());
    return 1;
}

int folderExists(lua_State* L, LuaProject& project) {
    const QFileInfo info(project.paths().resolveForRead(stringArg(L, 1, "path")));
    lua_pushboolean(L, info.isDir());
    return 1;
}

int createFolder(lua_State* L, LuaProject& project) {
    const QString path = project.paths().resolveForWrite(stringArg(L, 1, "path"));
    if (!QDir().mkpath(path))
        fail(platform::vberr::PathFileAccess, QStringLiteral("Cannot create folder %1").arg(path));
    return 0;
}

QString exportTarget(lua_State* L, int index, LuaProject& project) {
    const QString path = project.paths().resolveForWrite(stringArg(L, index, "path"));
    const QFileInfo info(path);
    if (!QFileInfo(info.absolutePath()).isDir())
        fail(platform::vberr::PathNotFound,
             QStringLiteral("Path not found: %1").arg(info.absolutePath()));
    if (info.isDir())
        fail(platform::vberr::PathFileAccess, QStringLiteral("%1 is a folder").arg(path));
    return path;
}

int exportVisible(lua_State* L, LuaProject& project) {
    MacroHost& host = activeHost(project);
    host.exportVisible(exportTarget(L, 1, project));
    return 0;
}

int exportLayer(lua_State* L, LuaProject& project) {
    MacroHost& host = activeHost(project);
    const QString name = QString::fromUtf8(stringArg(L, 1, "layer name"));
    host.exportLayer(name, exportTarget(L, 2, project));
    return 0;
}

} // namespace

void installHostApi(lua_State* L) {
    static const luaL_Reg kFunctions[] = {{"ProjectFolder", guarded<projectFolder>},
                                          {"Layers", guarded<layers>},
                                          {"Layer", guarded<layer>},
                                          {"ActiveLayer", guarded<activeLayer>},
                                          {"Regen", guarded<regen>},
                                          {"IsFileName", guarded<isFileName>},
                                          {"FileExists", guarded<fileExists>},
                                          {"FolderExists", guarded<folderExists>},
                                          {"CreateFolder", guarded<createFolder>},
                                          {"ExportVisible", guarded<exportVisible>},
                                          {"ExportLayer", guarded<exportLayer>},
                                          {nullptr, nullptr}};
    luaL_newlib(L, kFunctions);
    lua_setglobal(L, "Host");
}

} // namespace cadhost
