#pragma once

#include <QByteArray>
#include <QString>
#include <functional>

// What the system asks about a file before it writes its settings: whether the file is
// read-only, and what kind of drive it lives on.
namespace platform {

// True when the file exists and may not be written: no write permission for anyone in
// its mode (the read-only attribute a user sets with chmod a-w, honoured also for root),
// or the current user may not write it, or its file system is mounted read-only.
// A folder is not a file the settings can go into and counts as read-only too.
bool isReadOnly(const QString& path);

// The drive kinds of GetDriveTypeA, with its numbers.
enum class DriveType : int {
    Unknown = 0,
    NoRootDir = 1,
    Removable = 2,
    Fixed = 3,
    Remote = 4,
    Network = Remote,
    CdRom = 5,
    RamDisk = 6,
};

// The kind of drive that holds `path` (the path need not exist yet; its nearest existing
// folder is looked up). The mount with the longest mount point containing the path
// decides: network file systems (nfs, cifs, smb3, sshfs, ...) are Remote, optical disc
// file systems CdRom, a block device whose disk reports removable media Removable,
// everything else Fixed. A path outside every mount is NoRootDir.
DriveType driveType(const QString& path);

// Where driveType looks: the mount table text (as in /proc/self/mounts) and the sysfs
// block-device folder (as /sys/block). Tests replace both.
struct DriveProbe {
    std::function<QByteArray()> mountTable;
    QString sysBlockFolder;
};
void setDriveProbeForTesting(DriveProbe probe);
void resetDriveProbe();

} // namespace platform
