#include "FileAttributes.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QList>
#include <QSet>

#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

namespace platform {
namespace {

DriveProbe defaultProbe() {
    return DriveProbe{[] {
                          QFile f(QStringLiteral("/proc/self/mounts"));
                          return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
                      },
                      QStringLiteral("/sys/block")};
}

DriveProbe& probe() {
    static DriveProbe p = defaultProbe();
    return p;
}

struct MountEntry {
    QString device;
    QString mountPoint;
    QString fsType;
};

// Mount table fields escape blanks and backslashes as three octal digits ("\040").
QString unescapeMountField(const QByteArray& field) {
    QByteArray out;
    for (qsizetype i = 0; i < field.size(); ++i) {
        if (field[i] == '\\' && i + 3 < field.size()) {
            bool ok = false;
            const int code = field.mid(i + 1, 3).toInt(&ok, 8);
            if (ok) {
                out.append(char(code));
                i += 3;
                continue;
            }
        }
        out.append(field[i]);
    }
    return QString::fromUtf8(out);
}

QList<MountEntry> readMounts() {
    QList<MountEntry> mounts;
    const QByteArray text = probe().mountTable ? probe().mountTable() : QByteArray();
    for (const QByteArray& line : text.split('\n')) {
        const QList<QByteArray> fields = line.simplified().split(' ');
        if (fields.size() < 3)
            continue; // not a mount line
        mounts.append({unescapeMountField(fields[0]), unescapeMountField(fields[1]),
                       QString::fromUtf8(fields[2])});
    }
    return mounts;
}

bool isNetworkFs(const QString& type) {
    static const QSet<QString> network = {
        QStringLiteral("nfs"),         QStringLiteral("nfs4"),
        QStringLiteral("cifs"),        QStringLiteral("smb3"),
        QStringLiteral("smbfs"),       QStringLiteral("ncpfs"),
        QStringLiteral("afs"),         QStringLiteral("9p"),
        QStringLiteral("ceph"),        QStringLiteral("glusterfs"),
        QStringLiteral("lustre"),      QStringLiteral("davfs"),
        QStringLiteral("fuse.sshfs"),  QStringLiteral("fuse.davfs2"),
        QStringLiteral("fuse.rclone"), QStringLiteral("fuse.glusterfs"),
        QStringLiteral("fuse.cephfs")};
    return network.contains(type);
}

bool isOpticalFs(const QString& type) {
    return type == QLatin1String("iso9660") || type == QLatin1String("udf");
}

// The disk of a block device ("sdb" for "sdb1") reports removable media in sysfs, where
// a partition's folder sits inside its disk's folder.
bool isRemovableDevice(const QString& device) {
    if (!device.startsWith(QLatin1String("/dev/")))
        return false;
    const QString name = QFileInfo(QFileInfo(device).canonicalFilePath().isEmpty()
                                       ? device
                                       : QFileInfo(device).canonicalFilePath())
                             .fileName();
    const QDir sys(probe().sysBlockFolder);
    if (sys.path().isEmpty() || !sys.exists())
        return false;
    for (const QString& disk : sys.entryList(QDir::Dirs | QDir::NoDotAndDotDot | QDir::System)) {
        if (disk == name || QFileInfo::exists(sys.filePath(disk + QLatin1Char('/') + name))) {
            QFile removable(sys.filePath(disk + QStringLiteral("/removable")));
            return removable.open(QIODevice::ReadOnly) && removable.readAll().trimmed() == "1";
        }
    }
    return false;
}

// The path as the mount table names it: absolute, symbolic links resolved, starting from
// the nearest folder that exists.
QString resolvedPath(const QString& path) {
    QFileInfo info(QDir::cleanPath(QFileInfo(path).absoluteFilePath()));
    QString tail;
    while (!info.exists()) {
        const QString parent = info.path();
        if (parent == info.filePath())
            break;
        tail = info.fileName() + (tail.isEmpty() ? QString() : QLatin1Char('/') + tail);
        info = QFileInfo(parent);
    }
    QString base = info.exists() ? info.canonicalFilePath() : info.filePath();
    if (tail.isEmpty())
        return base;
    return QDir::cleanPath(base + QLatin1Char('/') + tail);
}

bool containsPath(const QString& mountPoint, const QString& path) {
    if (mountPoint == QLatin1String("/"))
        return path.startsWith(QLatin1Char('/'));
    return path == mountPoint || path.startsWith(mountPoint + QLatin1Char('/'));
}

} // namespace

bool isReadOnly(const QString& path) {
    const QByteArray native = QFile::encodeName(path);
    struct stat st {};
    if (::stat(native.constData(), &st) != 0)
        return false; // a missing file has no attributes to forbid writing
    if (S_ISDIR(st.st_mode))
        return true;
    if ((st.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0)
        return true;
    if (::access(native.constData(), W_OK) != 0)
        return true;
    struct statvfs vfs {};
    return ::statvfs(native.constData(), &vfs) == 0 && (vfs.f_flag & ST_RDONLY);
}

DriveType driveType(const QString& path) {
    const QString target = resolvedPath(path);
    const MountEntry* best = nullptr;
    const QList<MountEntry> mounts = readMounts();
    for (const MountEntry& m : mounts) {
        if (containsPath(m.mountPoint, target) &&
            (!best || m.mountPoint.size() >= best->mountPoint.size()))
            best = &m; // later mounts over the same point hide earlier ones
    }
    if (!best)
        return DriveType::NoRootDir;
    if (isNetworkFs(best->fsType))
        return DriveType::Remote;
    if (isOpticalFs(best->fsType))
        return DriveType::CdRom;
    if (isRemovableDevice(best->device))
        return DriveType::Removable;
    return DriveType::Fixed;
}

void setDriveProbeForTesting(DriveProbe p) {
    probe() = std::move(p);
}
void resetDriveProbe() {
    probe() = defaultProbe();
}

} // namespace platform
