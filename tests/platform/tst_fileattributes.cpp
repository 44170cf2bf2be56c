#include "platform/FileAttributes.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace platform;

namespace {

class DriveTypeTest : public ::testing::Test {
protected:
    QTemporaryDir sys;
    QByteArray mounts;

    void SetUp() override {
        // A disk sdb (removable) with partition sdb1, and a fixed disk sda.
        makeDevice("sdb", "1", "sdb1");
        makeDevice("sda", "0", "sda2");
        setDriveProbeForTesting({[this] { return mounts; }, sys.path()});
    }
    void TearDown() override { resetDriveProbe(); }

    void makeDevice(const QString& disk, const QByteArray& removable, const QString& part) {
        QDir(sys.path()).mkpath(disk + QLatin1Char('/') + part);
        QFile f(sys.filePath(disk + QStringLiteral("/removable")));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(removable + "\n");
    }
};

TEST_F(DriveTypeTest, LongestMountPointDecides) {
    mounts = "/dev/sda2 / ext4 rw 0 0\n"
             "server:/export /net/proj nfs4 rw 0 0\n"
             "//nas/share /mnt/smb cifs rw 0 0\n"
             "user@host:/ /mnt/ssh fuse.sshfs rw 0 0\n"
             "/dev/sdb1 /media/usb vfat rw 0 0\n"
             "/dev/sr0 /media/cd iso9660 ro 0 0\n"
             "tmpfs /tmp tmpfs rw 0 0\n"
             "/dev/sda2 /media/usb/inner ext4 rw 0 0\n"
             "/dev/sdb1 /mnt/with\\040blank vfat rw 0 0\n";
    EXPECT_EQ(driveType("/home/user/TARNIX.ini"), DriveType::Fixed);
    EXPECT_EQ(driveType("/net/proj/bin/TARNIX.ini"), DriveType::Remote);
    EXPECT_EQ(driveType("/net/project/TARNIX.ini"), DriveType::Fixed); // not under /net/proj
    EXPECT_EQ(driveType("/mnt/smb/TARNIX.ini"), DriveType::Remote);
    EXPECT_EQ(driveType("/mnt/ssh/a/b/TARNIX.ini"), DriveType::Remote);
    EXPECT_EQ(driveType("/media/usb/TARNIX.ini"), DriveType::Removable);
    EXPECT_EQ(driveType("/media/usb/inner/TARNIX.ini"), DriveType::Fixed);
    EXPECT_EQ(driveType("/media/cd/TARNIX.ini"), DriveType::CdRom);
    EXPECT_EQ(driveType("/mnt/with blank/TARNIX.ini"), DriveType::Removable);
}

TEST_F(DriveTypeTest, NoMatchingMountAndEmptyTable) {
    mounts = "proc /proc proc rw 0 0\ngarbage\n\n";
    EXPECT_EQ(driveType("/home/x.ini"), DriveType::NoRootDir);
    mounts.clear();
    EXPECT_EQ(driveType("/home/x.ini"), DriveType::NoRootDir);
}

TEST(FileAttributes, ReadOnlyMeansNoWriteBitOrNoAccess) {
    QTemporaryDir dir;
    const QString path = dir.filePath("a.ini");
    EXPECT_FALSE(isReadOnly(path)); // missing
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.close();
    EXPECT_FALSE(isReadOnly(path));
    ASSERT_TRUE(
        QFile::setPermissions(path, QFile::ReadOwner | QFile::ReadGroup | QFile::ReadOther));
    EXPECT_TRUE(isReadOnly(path)); // also when the tests run as root
    EXPECT_TRUE(isReadOnly(dir.path()));
}

} // namespace
