#include "platform/ProgramFolder.h"

#include "PlatformTestSupport.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using platform::FileLayout;
using platform::fileLayoutFor;

namespace {

using platformtest::EnvScope;

void touch(const QString& path) {
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
}

class FileLayoutTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(home.isValid());
        env.set("HOME", home.path());
        env.set("XDG_CONFIG_HOME", home.filePath(QStringLiteral("cfg")));
        env.set("XDG_CACHE_HOME", home.filePath(QStringLiteral("cache")));
        ASSERT_TRUE(QDir().mkpath(home.filePath(QStringLiteral("run"))));
        env.set("XDG_RUNTIME_DIR", home.filePath(QStringLiteral("run")));
        ASSERT_TRUE(QDir().mkpath(exeFolder()));
    }
    QString exeFolder() const { return home.filePath(QStringLiteral("prefix/bin")); }
    QString dataFolder() const { return home.filePath(QStringLiteral("prefix/share/korvel")); }
    QTemporaryDir home;
    EnvScope env;
};

} // namespace

TEST_F(FileLayoutTest, WritableFolderWithTheMacroProjectKeepsEverythingBesideTheProgram) {
    touch(exeFolder() + QStringLiteral("/TARNIX.dvb"));
    const FileLayout layout = fileLayoutFor(exeFolder(), dataFolder(), 42);
    EXPECT_TRUE(layout.portable);
    EXPECT_EQ(layout.data, exeFolder());
    EXPECT_EQ(layout.settings, exeFolder());
    EXPECT_EQ(layout.work, exeFolder());
}

TEST_F(FileLayoutTest, FolderWithoutTheMacroProjectUsesTheUsersFolders) {
    const FileLayout layout = fileLayoutFor(exeFolder(), dataFolder(), 42);
    EXPECT_FALSE(layout.portable);
    EXPECT_EQ(layout.data, dataFolder());
    EXPECT_EQ(layout.settings, home.filePath(QStringLiteral("cfg/korvel")));
    EXPECT_EQ(layout.work, home.filePath(QStringLiteral("run/korvel/viewer-42")));
    // Two viewers never share a work folder.
    EXPECT_NE(fileLayoutFor(exeFolder(), dataFolder(), 43).work, layout.work);
}

TEST_F(FileLayoutTest, ReadOnlyFolderIsInstalledEvenWithTheMacroProject) {
    touch(exeFolder() + QStringLiteral("/TARNIX.dvb"));
    QFile::setPermissions(exeFolder(), QFileDevice::ReadOwner | QFileDevice::ExeOwner);
    if (QFileInfo(exeFolder()).isWritable()) {
        QFile::setPermissions(exeFolder(), QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                               QFileDevice::ExeOwner);
        GTEST_SKIP() << "this user writes into read-only folders (root)";
    }
    const FileLayout layout = fileLayoutFor(exeFolder(), dataFolder(), 7);
    QFile::setPermissions(exeFolder(),
                          QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    EXPECT_FALSE(layout.portable);
    EXPECT_EQ(layout.data, dataFolder());
}

TEST_F(FileLayoutTest, UnsetOrRelativeXdgVariablesFallBackToHomeDefaults) {
    env.set("XDG_CONFIG_HOME", QStringLiteral("relative/cfg"));
    env.set("XDG_RUNTIME_DIR", QString());
    env.set("XDG_CACHE_HOME", QString());
    FileLayout layout = fileLayoutFor(exeFolder(), dataFolder(), 5);
    EXPECT_EQ(layout.settings, home.filePath(QStringLiteral(".config/korvel")));
    EXPECT_EQ(layout.work, home.filePath(QStringLiteral(".cache/korvel/viewer-5")));
    // A runtime folder that does not exist is no place for pictures.
    env.set("XDG_RUNTIME_DIR", home.filePath(QStringLiteral("gone")));
    env.set("XDG_CACHE_HOME", home.filePath(QStringLiteral("cache")));
    layout = fileLayoutFor(exeFolder(), dataFolder(), 5);
    EXPECT_EQ(layout.work, home.filePath(QStringLiteral("cache/korvel/viewer-5")));
}

TEST_F(FileLayoutTest, ATestsProgramFolderIsPortable) {
    platform::setProgramFolderForTesting(exeFolder());
    const FileLayout layout = platform::fileLayout();
    platform::setProgramFolderForTesting(QString());
    EXPECT_TRUE(layout.portable);
    EXPECT_EQ(layout.settings, exeFolder());
    EXPECT_EQ(layout.work, exeFolder());
    EXPECT_EQ(layout.data, exeFolder());
}
