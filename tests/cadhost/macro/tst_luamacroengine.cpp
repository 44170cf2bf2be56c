// The Lua macro engine in-process, against a recording host double: loading, naming,
// failures as automation errors, and the sandbox a macro cannot leave.

#include "cadhost/macro/LuaMacroEngine.h"
#include "cadhost/macro/MacroHost.h"
#include "platform/VbError.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <future>
#include <gtest/gtest.h>
#include <lua.hpp>

using cadhost::LuaMacroEngine;
using cadhost::MacroLayer;
using platform::AutomationError;

namespace {

class RecordingHost : public cadhost::MacroHost {
public:
    QList<MacroLayer> all{{"0", true, false, false, 7},
                          {"WALL", false, false, true, 1},
                          {"壁", true, true, false, 3}};
    QStringList calls;
    int regens = 0;
    int endRuns = 0;

    QList<MacroLayer> layers() const override { return all; }
    std::optional<MacroLayer> layer(const QString& name) const override {
        for (const MacroLayer& l : all) {
            if (l.name.compare(name, Qt::CaseInsensitive) == 0)
                return l;
        }
        return std::nullopt;
    }
    QString activeLayer() const override { return QStringLiteral("WALL"); }
    void regen() override { ++regens; }
    void exportVisible(const QString& path) override {
        calls << QStringLiteral("visible:") + path;
        touch(path);
    }
    void exportLayer(const QString& layer, const QString& path) override {
        calls << layer + QLatin1Char(':') + path;
        touch(path);
    }
    void endRun() override { ++endRuns; }

private:
    static void touch(const QString& path) {
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("x");
    }
};

class LuaMacroEngineTest : public ::testing::Test {
protected:
    QTemporaryDir dir;
    RecordingHost host;
    LuaMacroEngine engine{[this] { return &host; }};

    QString write(const QString& name, const QByteArray& source) {
        const QString path = dir.filePath(name);
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(source);
        return path;
    }

    // Loads `body` as module M of project P and runs M.run; returns the error, if any.
    QString run(const QByteArray& body) {
        engine.loadProject(
            write(QStringLiteral("P.dvb"), "M = {}\nfunction M.run()\n" + body + "\nend\n"));
        try {
            engine.runMacro(QStringLiteral("P.M.run"));
        } catch (const AutomationError& e) {
            return e.description();
        }
        return {};
    }
};

qint32 numberOf(const std::function<void()>& call) {
    try {
        call();
    } catch (const AutomationError& e) {
        return e.number();
    }
    return 0;
}

} // namespace

TEST_F(LuaMacroEngineTest, ProjectIsNamedAfterTheFileAndReloadReplacesIt) {
    const QString path = write("TARNIX.dvb", "basWMF = { f = function() Host.Regen() end }\n");
    engine.loadProject(path);
    EXPECT_EQ(engine.projectNames(), QStringList{"TARNIX"});
    engine.runMacro("TARNIX.basWMF.f");
    EXPECT_EQ(host.regens, 1);
    EXPECT_EQ(host.endRuns, 1);

    // Same file again: succeeds, and the new text is what runs.
    write("TARNIX.dvb", "basWMF = { f = function() Host.Regen() Host.Regen() end }\n");
    engine.loadProject(path);
    EXPECT_EQ(engine.projectNames(), QStringList{"TARNIX"});
    engine.runMacro("tarnix.basWMF.f"); // project names ignore case
    EXPECT_EQ(host.regens, 3);
}

TEST_F(LuaMacroEngineTest, LoadFailuresAreAutomationErrorsAndKeepTheWorkingProject) {
    EXPECT_EQ(numberOf([&] { engine.loadProject(dir.filePath("missing.dvb")); }),
              LuaMacroEngine::ProjectFileNotFound);
    EXPECT_EQ(numberOf([&] { engine.loadProject(dir.path()); }),
              LuaMacroEngine::ProjectFileNotFound);
    EXPECT_EQ(numberOf([&] { engine.loadProject(QString()); }),
              LuaMacroEngine::ProjectFileNotFound);

    const QString path = write("P.dvb", "M = { f = function() Host.Regen() end }\n");
    engine.loadProject(path);
    write("P.dvb", "M = { f = function( end }\n");
    try {
        engine.loadProject(path);
        FAIL() << "syntax error accepted";
    } catch (const AutomationError& e) {
        EXPECT_EQ(e.number(), LuaMacroEngine::ProjectLoadFailed);
        EXPECT_TRUE(e.description().contains("P.dvb:1:")) << e.description().toStdString();
    }
    write("P.dvb", "error('broken at load')\n");
    EXPECT_EQ(numberOf([&] { engine.loadProject(path); }), LuaMacroEngine::ProjectLoadFailed);
    // Precompiled chunks are refused: the VM does not verify them.
    write("P.dvb", QByteArray("\x1bLua\x54\x00", 6) + QByteArray(64, '\x01'));
    EXPECT_EQ(numberOf([&] { engine.loadProject(path); }), LuaMacroEngine::ProjectLoadFailed);

    engine.runMacro("P.M.f");
    EXPECT_EQ(host.regens, 1);
}

TEST_F(LuaMacroEngineTest, UnknownMacroNamesAreReported) {
    engine.loadProject(write("P.dvb", "M = { f = function() end, notfn = 3 }\nN = 5\n"));
    for (const char* name : {"P.M.g", "Q.M.f", "P.X.f", "P.M.notfn", "P.N.f", "M.f", "f", "",
                             "P..f", "P.M.", ".M.f"}) {
        try {
            engine.runMacro(QString::fromUtf8(name));
            ADD_FAILURE() << "ran " << name;
        } catch (const AutomationError& e) {
            EXPECT_EQ(e.number(), LuaMacroEngine::MacroNotFound) << name;
            EXPECT_TRUE(e.description().contains(QString::fromUtf8(name))) << name;
        }
    }
    EXPECT_NO_THROW(engine.runMacro("P.M.f"));
}

TEST_F(LuaMacroEngineTest, RuntimeErrorCarriesTheLuaMessage) {
    const QString error = run("local t = nil\nreturn t.x");
    EXPECT_TRUE(error.startsWith("P.M.run: P.dvb:4:")) << error.toStdString();
    EXPECT_TRUE(error.contains("attempt to index")) << error.toStdString();
    EXPECT_TRUE(run("error({})").startsWith("P.M.run: "));
    EXPECT_EQ(run("error(setmetatable({}, {__tostring = function() return 'custom' end}))"),
              "P.M.run: custom");
    EXPECT_EQ(host.endRuns, 3); // a failing macro still ends its run on the host
    EXPECT_EQ(run("local ok, m = pcall(error, 'caught')\nassert(not ok and m == 'caught')"),
              QString());
}

TEST_F(LuaMacroEngineTest, SandboxOffersNoWayOutOfTheProcess) {
    EXPECT_EQ(run("assert(io == nil and debug == nil and package == nil and require == nil)"
                  "\nassert(dofile == nil and loadfile == nil and load == nil)"
                  "\nassert(os.execute == nil and os.remove == nil and os.rename == nil"
                  " and os.exit == nil and os.getenv == nil and os.tmpname == nil)"
                  "\nassert(type(os.clock()) == 'number' and string.dump == nil)"),
              QString());
    EXPECT_TRUE(run("os.execute('touch /tmp/x')").contains("attempt to call a nil value"));
    EXPECT_TRUE(run("io.open('/etc/passwd')").contains("attempt to index a nil value"));
}

TEST_F(LuaMacroEngineTest, RunawayMacrosAreStoppedEvenThroughPcall) {
    LuaMacroEngine quick([this] { return &host; }, {std::chrono::milliseconds(300)});
    quick.loadProject(write("R.dvb",
                            "M = {}\n"
                            "function M.loop() while true do end end\n"
                            "function M.sneaky() while true do pcall(M.loop) end end\n"
                            "function M.xsneaky() while true do xpcall(M.loop, print) end end\n"
                            "function M.ok() return 1 end\n"));
    for (const char* name : {"R.M.loop", "R.M.sneaky", "R.M.xsneaky"}) {
        const auto start = std::chrono::steady_clock::now();
        try {
            quick.runMacro(name);
            ADD_FAILURE() << name << " returned";
        } catch (const AutomationError& e) {
            EXPECT_EQ(e.number(), LuaMacroEngine::MacroFailed);
            EXPECT_TRUE(e.description().contains("ran longer than"))
                << e.description().toStdString();
        }
        EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5)) << name;
    }
    // The limit applies per call: the project stays usable.
    EXPECT_NO_THROW(quick.runMacro("R.M.ok"));
}

TEST_F(LuaMacroEngineTest, MemoryHogIsStoppedNotTheHost) {
    LuaMacroEngine small([this] { return &host; }, {std::chrono::milliseconds(60000), 16u << 20});
    small.loadProject(write("H.dvb", "M = {}\nfunction M.hog() local t = {} for i = 1, 1e8 do "
                                     "t[i] = string.rep('x', 1000) .. i end end\n"
                                     "function M.ok() return 1 end\n"));
    EXPECT_EQ(numberOf([&] { small.runMacro("H.M.hog"); }), LuaMacroEngine::MacroFailed);
    EXPECT_NO_THROW(small.runMacro("H.M.ok"));
}

TEST_F(LuaMacroEngineTest, HostReadsTheActiveDrawing) {
    EXPECT_EQ(run("local l = Host.Layers()\n"
                  "assert(#l == 3 and l[1].Name == '0' and l[3].Name == '壁')\n"
                  "assert(l[2].LayerOn == false and l[2].Lock == true and l[2].Color == 1)\n"
                  "assert(l[3].Freeze == true)\n"
                  "assert(Host.ActiveLayer() == 'WALL')\n"
                  "assert(Host.Layer('wall').Name == 'WALL' and Host.Layer('none') == nil)\n"
                  "assert(Host.ProjectFolder() == '" +
                  QDir(dir.path()).absolutePath().toUtf8() + "')"),
              QString());
}

TEST_F(LuaMacroEngineTest, WithoutADrawingHostCallsFail) {
    LuaMacroEngine bare([] { return nullptr; });
    bare.loadProject(write("B.dvb", "M = { f = function() return Host.Layers() end,"
                                    " g = function() return Host.ProjectFolder() end }\n"));
    try {
        bare.runMacro("B.M.f");
        FAIL();
    } catch (const AutomationError& e) {
        EXPECT_TRUE(e.description().contains("No drawing is open"));
    }
    EXPECT_NO_THROW(bare.runMacro("B.M.g"));
}

TEST_F(LuaMacroEngineTest, ExportsLandOnlyBelowTheLayerFolder) {
    EXPECT_EQ(run("Host.CreateFolder('LAYER/SYS')\n"
                  "assert(Host.FolderExists('LAYER/SYS') and not Host.FileExists('LAYER/SYS'))\n"
                  "Host.ExportVisible('LAYER/SYS/all.wmf')\n"
                  "Host.ExportLayer('壁', 'LAYER/壁.wmf')\n"
                  "assert(Host.FileExists('LAYER/SYS/all.wmf'))"),
              QString());
    const QString layer = QDir(dir.path()).absolutePath() + "/LAYER";
    EXPECT_EQ(host.calls,
              (QStringList{"visible:" + layer + "/SYS/all.wmf", "壁:" + layer + "/壁.wmf"}));

    QDir(dir.path()).mkpath("other");
    QFile::link(dir.filePath("other"), dir.filePath("LAYER/link"));
    const QByteArray outside = QDir(dir.path()).absolutePath().toUtf8() + "/x.wmf";
    for (const QByteArray& path :
         {QByteArray("x.wmf"), QByteArray("../x.wmf"), QByteArray("LAYER/../x.wmf"), outside,
          QByteArray("LAYER/SYS/../../x.wmf"), QByteArray("other/x.wmf"),
          QByteArray("LAYER/link/x.wmf"), QByteArray("layer/x.wmf"), QByteArray(""),
          QByteArray("LAYER/a\\0b.wmf")}) {
        const QString error = run("Host.ExportVisible(\"" + path + "\")");
        EXPECT_TRUE(error.contains("Path refused"))
            << path.toStdString() << " " << error.toStdString();
        EXPECT_TRUE(run("Host.CreateFolder(\"" + path + "\")").contains("Path refused"))
            << path.toStdString();
    }
    EXPECT_TRUE(run("Host.ExportLayer('0', 'LAYER/nofolder/x.wmf')").contains("Path not found"));
    EXPECT_EQ(host.calls.size(), 2);
    EXPECT_FALSE(QFileInfo::exists(dir.filePath("x.wmf")));
    EXPECT_TRUE(QDir(dir.filePath("other")).isEmpty());
    EXPECT_FALSE(QFileInfo::exists(dir.filePath("layer")));

    // Reading may look anywhere below the project folder, but not above it.
    EXPECT_EQ(run("assert(Host.FileExists('P.dvb') and Host.FolderExists('other'))"), QString());
    EXPECT_TRUE(run("Host.FileExists('../P.dvb')").contains("Path refused"));
}

TEST_F(LuaMacroEngineTest, FileNameCheck) {
    EXPECT_EQ(run("for _, n in ipairs({'', '.', '..', 'a/b', '../x', 'a\\0b', 1}) do\n"
                  "  assert(not Host.IsFileName(n), n) end\n"
                  "for _, n in ipairs({'0', '壁', 'a b', '...', 'a\\\\b', 'x|y'}) do\n"
                  "  assert(Host.IsFileName(n), n) end"),
              QString());
}

namespace {

// A chunk that calls the pattern functions in many ways and raises what they answered
// (values and error messages) as one string: run in the sandbox and in a stock Lua, the
// two strings must be the same.
const char* kPatternSurvey = R"LUA(
local out = {}
local function put(...)
  local t = table.pack(...)
  for i = 1, t.n do out[#out + 1] = type(t[i]) .. ":" .. tostring(t[i]) end
  out[#out + 1] = "|"
end
local function try(f, ...)
  local r = table.pack(pcall(f, ...))
  if r[1] then put(table.unpack(r, 2, r.n)) else put("error", r[2]) end
end
local cases = {
  {"hello world", "o w"}, {"hello world", "l+"}, {"hello", "l", 1, true}, {"hello", ""},
  {"hello", "", 10}, {"hello", "", 6}, {"a.b", ".", 1, true}, {"abc", "b", -1},
  {"abc", "b", -10}, {"THE (quick) fox", "%((%a+)%)"}, {"  x", "^%s*"},
  {"key = value", "(%w+)%s*=%s*(%w+)"}, {"f(a(b)c)d", "%b()"}, {"THE quick", "%f[%a]%a+"},
  {"hello", "()ll()"}, {"aaa", "a-b"}, {"aaab", "a-b"}, {"x=1, y=2", "(%w+)=(%w+)", 3},
  {"abcabc", "(abc)%1"}, {"[x]", "[%]x]+"}, {"a-b", "[a-]+"}, {"hello", "[^aeiou]+"},
  {"hello", "h?ello"}, {"", "x*"}, {"abc", "$"}, {"abc", "c$"}, {"a$c", "$c"},
  {"a\0b", "%z?b"}, {"a\0b", "\0b", 1, true}, {"1.5e3x", "^[+-]?%d+%.?%d*[eE]?%d*"},
  {"ABC def", "%u+"}, {"tab\there", "%c"}, {"x1_y", "[%w_]+"}, {"abc", "[b-]"},
  {"abc", "%"}, {"abc", "[a"}, {"abc", "(()"}, {"abc", "%1"}, {"abc", "%b"},
  {"abc", "%f"}, {"abc", "a)"}, {"abc", "(a)(b)(c)%4"}, {"aaaaaaaaaa", "a-a-a-b"},
  {string.rep("a", 300), string.rep("a?", 250) .. string.rep("a", 250)},
}
for _, c in ipairs(cases) do
  try(string.find, table.unpack(c, 1, 4))
  try(string.match, table.unpack(c, 1, 3))
end
for _, c in ipairs({{"one two  three", "%a+"}, {"k1=v1;k2=v2", "(%w+)=(%w+)"}, {"abc", ""},
                    {"hello world from Lua", "()%a+()"}, {"hello", "l", 4}, {"x", "[", 1}}) do
  try(function()
    local got = {}
    for a, b in string.gmatch(c[1], c[2], c[3]) do got[#got + 1] = tostring(a) .. "," .. tostring(b) end
    return table.concat(got, ";")
  end)
end
try(string.gsub, "hello world", "o", "0")
try(string.gsub, "hello world", "(%w+)", "<%1>")
try(string.gsub, "hello", "", "-")
try(string.gsub, "abc", "%w", "%0%0")
try(string.gsub, "hello world", "%w+", {hello = "HI"})
try(string.gsub, "hello world", "%w+", function(w) return #w end)
try(string.gsub, "abc", "b", "%%")
try(string.gsub, "abc", "b", "%2")
try(string.gsub, "abc", "b", "%x")
try(string.gsub, "aaa", "a", "b", 2)
try(string.gsub, "abc", "^a", "x")
try(string.gsub, "x y", "(%w)", function() return nil end)
try(string.gsub, "abc", ".", {a = 1, b = true})
try(string.gsub, "abc", "()", "%1")
try(function() return ("Mixed Case"):gsub("%u", string.lower) end)
try(function() return ("k=v"):match("(%w)=(%w)") end)
error(table.concat(out, "\n"), 0)
)LUA";

// Runs fn on a thread; a run that does not end in time cannot be stopped, so the test
// program reports it and ends rather than wait for hours.
template <typename Fn> auto within(const char* what, std::chrono::seconds limit, Fn fn) {
    auto future = std::async(std::launch::async, std::move(fn));
    if (future.wait_for(limit) != std::future_status::ready) {
        std::fprintf(stderr, "FAILED: %s did not end within %lld s\n", what,
                     static_cast<long long>(limit.count()));
        std::fflush(stderr);
        std::_Exit(1);
    }
    return future.get();
}

} // namespace

TEST_F(LuaMacroEngineTest, PatternFunctionsAnswerAsLuasOwn) {
    lua_State* stock = luaL_newstate();
    luaL_openlibs(stock);
    // Named as the host names a project's chunk, so that positions in messages agree.
    ASSERT_EQ(
        luaL_loadbufferx(stock, kPatternSurvey, std::strlen(kPatternSurvey), "@Survey.dvb", "t"),
        LUA_OK)
        << lua_tostring(stock, -1);
    ASSERT_NE(lua_pcall(stock, 0, 0, 0), LUA_OK);
    std::size_t length = 0;
    const char* message = lua_tolstring(stock, -1, &length);
    const QString expected = QString::fromUtf8(message, qsizetype(length));
    lua_close(stock);
    EXPECT_GT(expected.count(QLatin1Char('|')), 100);

    const QString path = write(QStringLiteral("Survey.dvb"), kPatternSurvey);
    try {
        engine.loadProject(path);
        FAIL() << "the survey raises its answers";
    } catch (const AutomationError& e) {
        const QString prefix = QFileInfo(path).absoluteFilePath() + QStringLiteral(": ");
        const QString answered =
            e.description().mid(e.description().indexOf(prefix) + prefix.size());
        EXPECT_EQ(answered.toStdString(), expected.toStdString());
    }
}

TEST_F(LuaMacroEngineTest, PatternMatchingKeepsToTheTimeLimit) {
    // Each of these backtracks (or compares) for minutes to hours in a matcher that does
    // not look at the clock.
    LuaMacroEngine quick([this] { return &host; }, {std::chrono::milliseconds(300)});
    quick.loadProject(write("T.dvb",
                            "M = {}\n"
                            "local s = string.rep('a', 40)\n"
                            "local p = string.rep('a*', 40) .. 'b'\n"
                            "function M.find() return string.find(s, p) end\n"
                            "function M.match() return s:match(p) end\n"
                            "function M.gmatch() for _ in s:gmatch(p) do end end\n"
                            "function M.gsub() return s:gsub(p, 'x') end\n"
                            "function M.sneaky() while true do pcall(string.find, s, p) end end\n"
                            "function M.plain() local h = string.rep('a', 2000000)\n"
                            "  return h:find(string.rep('a', 100000) .. 'b', 1, true) end\n"
                            "function M.ok() return ('abc'):find('b') end\n"));
    for (const char* name :
         {"T.M.find", "T.M.match", "T.M.gmatch", "T.M.gsub", "T.M.sneaky", "T.M.plain"}) {
        const auto start = std::chrono::steady_clock::now();
        const QString error = within(name, std::chrono::seconds(10), [&]() -> QString {
            try {
                quick.runMacro(name);
            } catch (const AutomationError& e) {
                return e.description();
            }
            return {};
        });
        EXPECT_TRUE(error.contains("ran longer than")) << name << ": " << error.toStdString();
        EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(3)) << name;
    }
    EXPECT_NO_THROW(quick.runMacro("T.M.ok"));
}

// A finaliser runs with the debug hooks off, so one that loops would hang the host at the
// next reload (lua_close runs them all) beyond any time limit. A project cannot make one,
// also not by a __gc of false filled in later; a field added after setmetatable makes
// none, as Lua has it.
TEST_F(LuaMacroEngineTest, AProjectCannotLeaveAFinaliserThatNeverEnds) {
    const QByteArray loop = "function() while true do end end";
    const QString direct = write("G.dvb", "keep = setmetatable({}, {__gc = " + loop + "})");
    const QString filledIn = write("F.dvb", "local mt = {__gc = false}\nkeep = setmetatable({}, mt)"
                                            "\nmt.__gc = " +
                                                loop);
    const QString later =
        write("L.dvb", "local mt = {}\nkeep = setmetatable({}, mt)\nmt.__gc = " + loop +
                           "\nM = {}\nfunction M.ok() return 1 end\n");
    within("reloading projects that tried to leave a looping finaliser", std::chrono::seconds(30),
           [&] {
               for (int round = 0; round < 2; ++round) {
                   for (const QString& project : {direct, filledIn}) {
                       try {
                           engine.loadProject(project);
                           ADD_FAILURE() << "a finaliser was accepted";
                       } catch (const AutomationError& e) {
                           EXPECT_EQ(e.number(), LuaMacroEngine::ProjectLoadFailed);
                           EXPECT_TRUE(e.description().contains("__gc"))
                               << e.description().toStdString();
                       }
                   }
                   engine.loadProject(later);
                   engine.runMacro("L.M.ok");
               }
           });
}
