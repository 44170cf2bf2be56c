#include "app/basAPIini.h"

#include "platform/FileAttributes.h"
#include "platform/ProgramFolder.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using basAPIini::GetINI;
using basAPIini::pu_bIniWrite;
using basAPIini::SetINI;
using basAPIini::WriteINI;

namespace {

// The program folder is a scratch folder; the mount table says what drive it is on.
class SettingsFile : public ::testing::Test {
protected:
    QTemporaryDir folder;
    QTemporaryDir sys;
    QByteArray mounts;

    void SetUp() override {
        QDir(sys.path()).mkpath("sda/sda1");
        QDir(sys.path()).mkpath("sdb/sdb1");
        writeFile(sys.filePath("sda/removable"), "0\n");
        writeFile(sys.filePath("sdb/removable"), "1\n");
        onDevice("/dev/sda1", "ext4");
        platform::setDriveProbeForTesting({[this] { return mounts; }, sys.path()});
        platform::setProgramFolderForTesting(folder.path());
        pu_bIniWrite = false; // as at program start
        basAPIini::resetRunStateForTesting();
    }
    void TearDown() override {
        platform::resetDriveProbe();
        platform::setProgramFolderForTesting(QString());
    }

    void onDevice(const QByteArray& device, const QByteArray& fs) {
        const QByteArray canonical = QDir(folder.path()).canonicalPath().toUtf8();
        mounts = "/dev/sda1 / ext4 rw 0 0\n" + device + ' ' + canonical + ' ' + fs + " rw 0 0\n";
    }
    static void writeFile(const QString& path, const QByteArray& bytes) {
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(bytes);
    }
    static QByteArray readFile(const QString& path) {
        QFile f(path);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
    }
    QString ini() const { return folder.filePath("TARNIX.ini"); }

    // What the viewer does when its window loads and closes.
    QList<qint32> loadPosition(QString& name) {
        return {GetINI(name, "WMFPosi", "left", 0, true).toInt(),
                GetINI(name, "WMFPosi", "top", 0, true).toInt(),
                GetINI(name, "WMFPosi", "width", 5820, true).toInt(),
                GetINI(name, "WMFPosi", "height", 8625, true).toInt()};
    }
    QList<qint32> savePosition(QString& name, const QList<qint32>& pos) {
        return {WriteINI(name, "WMFPosi", "left", pos[0]), WriteINI(name, "WMFPosi", "top", pos[1]),
                WriteINI(name, "WMFPosi", "width", pos[2]),
                WriteINI(name, "WMFPosi", "height", pos[3])};
    }
};

TEST_F(SettingsFile, FirstStartOnFixedDiskCreatesFileThenSavesPosition) {
    QString name = "TARNIX.ini";
    EXPECT_EQ(loadPosition(name), (QList<qint32>{0, 0, 5820, 8625}));
    EXPECT_EQ(name, ini());
    EXPECT_TRUE(QFile::exists(ini()));
    EXPECT_TRUE(pu_bIniWrite);
    EXPECT_EQ(savePosition(name, {120, 240, 6000, 9000}), (QList<qint32>{1, 1, 1, 1}));
    EXPECT_EQ(readFile(ini()), "[WMFPosi]\nleft=120\ntop=240\nwidth=6000\nheight=9000\n");

    pu_bIniWrite = false; // next start
    basAPIini::resetRunStateForTesting();
    QString again = "TARNIX.ini";
    EXPECT_EQ(loadPosition(again), (QList<qint32>{120, 240, 6000, 9000}));
}

TEST_F(SettingsFile, ReadOnlyFileIsReadButNeverWritten) {
    const QByteArray content = "[WMFPosi]\nleft=15\ntop=30\nwidth=4500\nheight=6000\n";
    writeFile(ini(), content);
    ASSERT_TRUE(QFile::setPermissions(ini(), QFile::ReadOwner | QFile::ReadGroup));
    pu_bIniWrite = true;
    QString name = "TARNIX.ini";
    EXPECT_EQ(loadPosition(name), (QList<qint32>{15, 30, 4500, 6000}));
    EXPECT_FALSE(pu_bIniWrite);
    EXPECT_EQ(savePosition(name, {1, 2, 3, 4}), (QList<qint32>{0, 0, 0, 0}));
    EXPECT_EQ(readFile(ini()), content);
}

TEST_F(SettingsFile, FirstStartFromRemovableOrNetworkDriveSavesFromTheNextStartOn) {
    for (const auto& [device, fs] : {std::pair<QByteArray, QByteArray>{"/dev/sdb1", "vfat"},
                                     {"server:/export", "nfs"},
                                     {"//nas/share", "cifs"}}) {
        QFile::remove(ini());
        onDevice(device, fs);
        pu_bIniWrite = false;
        QString name = "TARNIX.ini";
        EXPECT_EQ(loadPosition(name), (QList<qint32>{0, 0, 5820, 8625})) << fs.data();
        EXPECT_TRUE(QFile::exists(ini())) << fs.data();
        EXPECT_EQ(savePosition(name, {1, 2, 3, 4}), (QList<qint32>{0, 0, 0, 0})) << fs.data();
        EXPECT_EQ(readFile(ini()), "") << fs.data();

        pu_bIniWrite = false; // next start: the file exists now
        basAPIini::resetRunStateForTesting();
        QString next = "TARNIX.ini";
        EXPECT_EQ(savePosition(next, {1, 2, 3, 4}), (QList<qint32>{1, 1, 1, 1})) << fs.data();
        EXPECT_EQ(loadPosition(next), (QList<qint32>{1, 2, 3, 4})) << fs.data();
    }
}

TEST_F(SettingsFile, AbsoluteNamesStayRelativeNamesAreCompletedOnce) {
    QTemporaryDir other;
    const QString absolute = other.filePath("elsewhere.ini");
    QString name = absolute;
    SetINI(name);
    EXPECT_EQ(name, absolute);
    EXPECT_TRUE(QFile::exists(absolute));

    // A program folder given relatively must not be prefixed again at the next call.
    const QString previousCurrent = QDir::currentPath();
    struct RestoreCurrent {
        QString path;
        ~RestoreCurrent() { QDir::setCurrent(path); }
    } restore{previousCurrent};
    QDir::setCurrent(folder.path());
    platform::setProgramFolderForTesting("sub");
    QDir(folder.path()).mkpath("sub");
    QString relative = "TARNIX.ini";
    SetINI(relative);
    EXPECT_TRUE(QDir::isAbsolutePath(relative));
    const QString once = relative;
    SetINI(relative);
    EXPECT_EQ(relative, once);
    EXPECT_TRUE(QFile::exists(folder.filePath("sub/TARNIX.ini")));

    QString empty;
    SetINI(empty);
    EXPECT_TRUE(empty.isEmpty());
}

TEST_F(SettingsFile, FileThatCannotBeCreatedGivesDefaultsWithoutError) {
    platform::setProgramFolderForTesting(folder.filePath("no/such/folder"));
    pu_bIniWrite = true;
    QString name = "TARNIX.ini";
    QList<qint32> pos;
    EXPECT_NO_THROW(pos = loadPosition(name));
    EXPECT_EQ(pos, (QList<qint32>{0, 0, 5820, 8625}));
    EXPECT_FALSE(pu_bIniWrite);
    EXPECT_EQ(savePosition(name, {1, 2, 3, 4}), (QList<qint32>{0, 0, 0, 0}));
    EXPECT_FALSE(QFile::exists(name));
}

TEST_F(SettingsFile, TextModeTrimsCutsAndDefaults) {
    writeFile(ini(), "[S]\nname=  padded  \nlong=" + QByteArray(400, 'z') +
                         "\nnum=12abc\n"
                         "blank=\n");
    QString name = "TARNIX.ini";
    EXPECT_EQ(GetINI(name, "s", "NAME", "x", false).toString(), "padded");
    EXPECT_EQ(GetINI(name, "S", "long", "x", false).toString(), QString(254, QLatin1Char('z')));
    EXPECT_EQ(GetINI(name, "S", "missing", " dflt ", false).toString(), "dflt");
    EXPECT_EQ(GetINI(name, "S", "missing", 5820, false).toString(), "5820");
    EXPECT_EQ(GetINI(name, "S", "blank", "x", false).toString(), "");
    EXPECT_EQ(GetINI(name, "S", "num", 7, true).toInt(), 12);
    EXPECT_EQ(GetINI(name, "S", "missing", 2.5, true).toInt(), 2); // CLng rounds half to even
}

} // namespace
