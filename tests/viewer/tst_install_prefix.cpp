// KORVEL installed into a prefix of its own and run as a user without write access to
// it would run it: the settings file and the pictures go to the user's folders, and
// nothing is written under the prefix.

#include "PrivateSessionBus.h"

#include <QDateTime>
#include <QDir>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>
#include <algorithm>
#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace {

// Every file and folder under root with its size and modification time.
std::vector<std::string> snapshot(const QString& root) {
    std::vector<std::string> files;
    QDirIterator it(root, QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QFileInfo info(it.next());
        files.push_back(QStringLiteral("%1 %2 %3")
                            .arg(info.filePath())
                            .arg(info.size())
                            .arg(info.lastModified().toMSecsSinceEpoch())
                            .toStdString());
    }
    std::sort(files.begin(), files.end());
    return files;
}

QString readAll(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()) : QString();
}

bool waitFor(const std::function<bool()>& ready, int timeoutMs) {
    QElapsedTimer clock;
    clock.start();
    while (!ready()) {
        if (clock.elapsed() > timeoutMs)
            return false;
        QThread::msleep(50);
    }
    return true;
}

void stop(QProcess& process) {
    if (process.state() == QProcess::NotRunning)
        return;
    process.terminate();
    if (!process.waitForFinished(20000)) {
        process.kill();
        process.waitForFinished(5000);
    }
}

} // namespace

TEST(InstallPrefix, InstalledViewerKeepsSettingsAndPicturesInTheUsersFolders) {
    QTemporaryDir root;
    ASSERT_TRUE(root.isValid());
    const QString prefix = root.filePath(QStringLiteral("korvel prefix"));
    const QString home = root.filePath(QStringLiteral("home"));
    const QString runtime = root.filePath(QStringLiteral("run"));
    ASSERT_TRUE(QDir().mkpath(home));
    ASSERT_TRUE(QDir().mkpath(runtime));
    QFile::setPermissions(runtime,
                          QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);

    QProcess install;
    install.setProcessChannelMode(QProcess::MergedChannels);
    install.start(QStringLiteral("cmake"),
                  {QStringLiteral("--install"), QStringLiteral(KORVEL_BIN_DIR "/.."),
                   QStringLiteral("--prefix"), prefix});
    ASSERT_TRUE(install.waitForFinished(120000));
    ASSERT_EQ(install.exitCode(), 0) << install.readAll().toStdString();

    for (const char* file :
         {"bin/tarnix", "bin/cadhost", "share/korvel/TARNIX.dvb", "share/korvel/ReadmeKORVEL.txt",
          "share/applications/korvel-tarnix.desktop", "share/applications/korvel-cadhost.desktop",
          "share/icons/hicolor/scalable/apps/korvel-tarnix.svg",
          "share/icons/hicolor/scalable/apps/korvel-cadhost.svg"})
        EXPECT_TRUE(QFileInfo(QDir(prefix).filePath(QString::fromLatin1(file))).isFile()) << file;
    // The service starts the installed host, not the one of the build.
    const QString service =
        readAll(prefix + QStringLiteral("/share/dbus-1/services/AutoCAD.Application.service"));
    EXPECT_TRUE(
        service.contains(QStringLiteral("Exec=") + prefix + QStringLiteral("/bin/cadhost\n")))
        << service.toStdString();
    EXPECT_TRUE(readAll(prefix + QStringLiteral("/share/applications/korvel-cadhost.desktop"))
                    .contains(QStringLiteral("image/vnd.dxf")));
    const std::vector<std::string> before = snapshot(prefix);

    korvel::test::PrivateSessionBus bus;
    ASSERT_TRUE(bus.isValid()) << bus.errorString().toStdString();

    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    env.insert(QStringLiteral("HOME"), home);
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), home + QStringLiteral("/.config"));
    env.insert(QStringLiteral("XDG_CACHE_HOME"), home + QStringLiteral("/.cache"));
    env.insert(QStringLiteral("XDG_DATA_HOME"), home + QStringLiteral("/.local/share"));
    env.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtime);
    env.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), bus.address());

    QProcess cadhost;
    cadhost.setProcessEnvironment(env);
    cadhost.setWorkingDirectory(home);
    cadhost.setProcessChannelMode(QProcess::ForwardedChannels);
    cadhost.start(prefix + QStringLiteral("/bin/cadhost"),
                  {QStringLiteral(KORVEL_SOURCE_DIR "/samples/plan.dxf")});
    ASSERT_TRUE(cadhost.waitForStarted(10000));
    ASSERT_TRUE(bus.waitForOwner(QStringLiteral("AutoCAD.Application"), 30000));
    EXPECT_EQ(bus.ownerPid(QStringLiteral("AutoCAD.Application")), cadhost.processId());

    QProcess tarnix;
    tarnix.setProcessEnvironment(env);
    tarnix.setWorkingDirectory(home);
    tarnix.setProcessChannelMode(QProcess::MergedChannels);
    tarnix.start(prefix + QStringLiteral("/bin/tarnix"),
                 {QStringLiteral(KORVEL_SOURCE_DIR "/samples/layers.csv")});
    ASSERT_TRUE(tarnix.waitForStarted(10000));

    const QString ini = home + QStringLiteral("/.config/korvel/TARNIX.ini");
    const QString work = runtime + QStringLiteral("/korvel/viewer-%1").arg(tarnix.processId());
    const QString layer = work + QStringLiteral("/LAYER");
    const auto pictures = [&] {
        return QDir(layer).entryList({QStringLiteral("*.wmf")}, QDir::Files);
    };
    const bool refreshed = waitFor(
        [&] {
            return tarnix.state() != QProcess::Running ||
                   (QFileInfo(ini).isFile() &&
                    QFileInfo(layer + QStringLiteral("/A-WALL.wmf")).isFile());
        },
        120000);
    EXPECT_TRUE(refreshed);
    EXPECT_EQ(tarnix.state(), QProcess::Running) << tarnix.readAll().toStdString();
    EXPECT_TRUE(QFileInfo(ini).isFile());
    EXPECT_FALSE(pictures().isEmpty());
    EXPECT_EQ(QFileInfo(work).permissions() & (QFileDevice::ReadOther | QFileDevice::WriteOther |
                                               QFileDevice::ReadGroup | QFileDevice::WriteGroup),
              QFileDevice::Permissions());

    tarnix.terminate();
    ASSERT_TRUE(tarnix.waitForFinished(30000));
    EXPECT_EQ(tarnix.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(tarnix.exitCode(), 0) << tarnix.readAll().toStdString();
    stop(cadhost);

    // The window's place was kept in the user's settings; the pictures went with the
    // viewer; the prefix is as the install left it.
    EXPECT_TRUE(readAll(ini).contains(QStringLiteral("[")));
    EXPECT_FALSE(QFileInfo::exists(work));
    EXPECT_FALSE(QFileInfo::exists(prefix + QStringLiteral("/bin/TARNIX.ini")));
    EXPECT_FALSE(QFileInfo::exists(prefix + QStringLiteral("/bin/LAYER")));
    EXPECT_EQ(snapshot(prefix), before);
}
