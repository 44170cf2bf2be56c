// Files are written whole or not at all.

#include "platform/SafeFile.h"

#include "PlatformTestSupport.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <csignal>
#include <sys/resource.h>

namespace {

using platform::SafeFile::Failure;
using platform::SafeFile::Sync;

QString systemText(int errnum) {
    return QString::fromLocal8Bit(std::strerror(errnum));
}

QByteArray contents(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
}

TEST(SafeFile, ReplacesTheWholeFileAndLeavesNothingBeside) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("TARNIX.ini"));
    for (const Sync sync : {Sync::ToDisk, Sync::NotToDisk}) {
        ASSERT_TRUE(platform::SafeFile::write(path, "[a]\nx=1\n", sync));
        EXPECT_EQ(contents(path), QByteArray("[a]\nx=1\n"));
        ASSERT_TRUE(platform::SafeFile::write(path, "short", sync));
        EXPECT_EQ(contents(path), QByteArray("short"));
        EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files), QStringList{"TARNIX.ini"});
    }
}

TEST(SafeFile, AWriteThatCannotHappenKeepsTheOldFileAndSaysWhy) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("kept.txt"));
    ASSERT_TRUE(platform::SafeFile::write(path, "old"));
    // A folder that lets nobody write: no file can be made beside the target.
    QFile::setPermissions(dir.path(), QFile::ReadOwner | QFile::ExeOwner);
    const bool asRoot = QFile(dir.filePath(QStringLiteral("probe"))).open(QIODevice::WriteOnly);
    QFile::remove(dir.filePath(QStringLiteral("probe")));
    for (const Sync sync : {Sync::ToDisk, Sync::NotToDisk}) {
        QString why;
        const bool written = platform::SafeFile::write(path, "new", sync, &why);
        if (!asRoot) {
            EXPECT_FALSE(written);
            EXPECT_FALSE(why.isEmpty());
            EXPECT_EQ(contents(path), QByteArray("old"));
        }
    }
    QFile::setPermissions(dir.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    // A target in a folder that does not exist is refused, whoever runs it.
    QString why;
    EXPECT_FALSE(platform::SafeFile::write(dir.filePath(QStringLiteral("no/such.txt")), "x",
                                           Sync::ToDisk, &why));
    EXPECT_FALSE(why.isEmpty());
}

TEST(SafeFile, ThroughANamedTemporaryFileThatStaysWhenTheLastStepFails) {
    QTemporaryDir dir;
    const QString target = dir.filePath(QStringLiteral("out.csv"));
    const QString temp = dir.filePath(QStringLiteral("buff_out.csv"));
    ASSERT_TRUE(platform::SafeFile::write(target, "old"));
    QFile::setPermissions(target, QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup);
    ASSERT_TRUE(platform::SafeFile::writeVia(temp, target, "a,b\r\n"));
    EXPECT_EQ(contents(target), QByteArray("a,b\r\n"));
    EXPECT_FALSE(QFile::exists(temp));
    EXPECT_EQ(QFile::permissions(target) & (QFile::ReadGroup | QFile::WriteGroup),
              QFile::ReadGroup);

    // A target that is a folder cannot be replaced by a file: the new data stays under
    // the temporary name.
    const QString folder = dir.filePath(QStringLiteral("folder.csv"));
    ASSERT_TRUE(QDir().mkdir(folder));
    QDir(folder).mkdir(QStringLiteral("inside"));
    QString why;
    EXPECT_FALSE(platform::SafeFile::writeVia(temp, folder, "kept", &why));
    EXPECT_FALSE(why.isEmpty());
    EXPECT_EQ(contents(temp), QByteArray("kept"));
}

// A full disk takes a file's first bytes and refuses the rest. Qt's buffered writes
// called a workbook below 16 KiB written (the 8 KiB that fitted were left as the file)
// and one above it failed for "Unknown error".
TEST(SafeFile, AFullDiskFailsWithItsReasonAndLeavesTheOldFileAlone) {
    platformtest::SmallDisk disk(64);
    if (!disk.mounted())
        GTEST_SKIP() << disk.whyNot().toStdString();
    const QString path = disk.filePath(QStringLiteral("plan.xlsx"));
    ASSERT_TRUE(platform::SafeFile::write(path, "old"));
    ASSERT_TRUE(disk.fillLeaving(8192));
    for (const Sync sync : {Sync::ToDisk, Sync::NotToDisk}) {
        for (const qsizetype size : {12000, 70000}) {
            SCOPED_TRACE(testing::Message() << size << " bytes");
            Failure failure;
            EXPECT_FALSE(platform::SafeFile::write(path, QByteArray(size, 'x'), sync, &failure));
            EXPECT_EQ(failure.errnum, ENOSPC);
            EXPECT_EQ(failure.reason, systemText(ENOSPC));
            EXPECT_EQ(contents(path), QByteArray("old"));
            EXPECT_EQ(disk.entries(),
                      QStringList({QStringLiteral("fill"), QStringLiteral("plan.xlsx")}));
        }
    }
    QString why;
    const QString temp = disk.filePath(QStringLiteral("buff_plan.xlsx"));
    EXPECT_FALSE(platform::SafeFile::writeVia(temp, path, QByteArray(12000, 'x'), &why));
    EXPECT_EQ(why, systemText(ENOSPC));
    EXPECT_FALSE(QFile::exists(temp));
    EXPECT_EQ(contents(path), QByteArray("old"));
}

// The same short write where no disk can be mounted: a limit on the size of files.
TEST(SafeFile, AWriteStoppedHalfWayByTheFileSizeLimitIsAFailure) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("plan.xlsx"));
    rlimit old{};
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &old), 0);
    // Past the limit the system refuses with EFBIG instead of ending the process.
    const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit limited = old;
    limited.rlim_cur = 8192;
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &limited), 0);
    Failure failure;
    const bool written =
        platform::SafeFile::write(path, QByteArray(12000, 'x'), Sync::ToDisk, &failure);
    ::setrlimit(RLIMIT_FSIZE, &old);
    std::signal(SIGXFSZ, oldHandler);
    EXPECT_FALSE(written);
    EXPECT_EQ(failure.errnum, EFBIG);
    EXPECT_EQ(failure.reason, systemText(EFBIG));
    EXPECT_TRUE(QDir(dir.path()).isEmpty());
}

// What the check finds wanting never takes the old file's place; what it looks at is
// the new file as written.
TEST(SafeFile, ACheckOfTheNewFileCanRefuseIt) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("plan.xlsx"));
    ASSERT_TRUE(platform::SafeFile::write(path, "old"));
    QByteArray seen;
    const auto refuse = [&](const QString& written, QString* reason) {
        seen = contents(written);
        *reason = QStringLiteral("not a package");
        return false;
    };
    Failure failure;
    EXPECT_FALSE(platform::SafeFile::write(path, "new", Sync::ToDisk, &failure, refuse));
    EXPECT_EQ(seen, QByteArray("new"));
    EXPECT_EQ(failure.errnum, 0);
    EXPECT_EQ(failure.reason, QStringLiteral("not a package"));
    EXPECT_EQ(contents(path), QByteArray("old"));
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files), QStringList{"plan.xlsx"});
}

// Someone who can write the folder puts a link, a hard link or a pipe where a file is
// about to be written: the file they lead to is never written, the pipe never waited on.
TEST(SafeFile, NeverWritesThroughANameIntoAnotherFile) {
    QTemporaryDir dir, elsewhere;
    const QString victim = elsewhere.filePath(QStringLiteral(".bashrc"));
    ASSERT_TRUE(platform::SafeFile::write(victim, "mine"));
    const auto plantLink = [&](const QString& at) {
        QFile::remove(at);
        ASSERT_TRUE(QFile::link(victim, at));
    };
    const QString path = dir.filePath(QStringLiteral("TARNIX.ini"));
    for (const Sync sync : {Sync::ToDisk, Sync::NotToDisk}) {
        plantLink(path);
        ASSERT_TRUE(platform::SafeFile::write(path, "new", sync));
        EXPECT_EQ(contents(victim), QByteArray("mine"));
        EXPECT_EQ(platform::SafeFile::entryAt(path).kind, platform::SafeFile::Entry::Kind::Regular);
        EXPECT_EQ(contents(path), QByteArray("new"));
    }
    const QString temp = dir.filePath(QStringLiteral("buff_out.csv"));
    plantLink(temp);
    ASSERT_TRUE(platform::SafeFile::writeVia(temp, path, "a,b"));
    EXPECT_EQ(contents(victim), QByteArray("mine"));
    EXPECT_EQ(contents(path), QByteArray("a,b"));

    const QString fifo = dir.filePath(QStringLiteral("fifo"));
    ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    QString why;
    EXPECT_FALSE(platform::SafeFile::write(fifo, "x", Sync::NotToDisk, &why));
    EXPECT_FALSE(why.isEmpty());
    EXPECT_EQ(platform::SafeFile::entryAt(fifo).kind, platform::SafeFile::Entry::Kind::Other);
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::System).size(), 2);

    // A picture is rewritten in its own file, and only there.
    const QString picture = dir.filePath(QStringLiteral("A-WALL.wmf"));
    ASSERT_TRUE(platform::SafeFile::write(picture, "old picture"));
    const auto own = platform::SafeFile::entryAt(picture).id;
    const auto rewrite = [&](const QString& at) {
        const int fd = platform::SafeFile::openToRewrite(at);
        EXPECT_GE(fd, 0);
        EXPECT_EQ(::write(fd, "pic", 3), 3);
        ::close(fd);
    };
    rewrite(picture);
    EXPECT_EQ(platform::SafeFile::entryAt(picture).id, own);
    EXPECT_EQ(contents(picture), QByteArray("pic"));
    plantLink(picture);
    rewrite(picture);
    EXPECT_EQ(contents(victim), QByteArray("mine"));
    QFile::remove(picture);
    if (::link(QFile::encodeName(victim).constData(), QFile::encodeName(picture).constData()) ==
        0) {
        rewrite(picture);
        EXPECT_EQ(contents(victim), QByteArray("mine"));
        EXPECT_EQ(contents(picture), QByteArray("pic"));
    }
    rewrite(fifo);
    EXPECT_EQ(contents(fifo), QByteArray("pic"));
}

} // namespace
