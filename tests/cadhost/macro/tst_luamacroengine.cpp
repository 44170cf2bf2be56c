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
#include <gtest/gtest.h>

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
