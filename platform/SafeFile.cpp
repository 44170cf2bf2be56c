#include "platform/SafeFile.h"

#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace platform::SafeFile {

namespace {

bool fail(Failure* failure, int errnum, const QString& reason) {
    if (failure)
        *failure = {errnum, reason};
    return false;
}

bool failWith(Failure* failure, int errnum) {
    return fail(failure, errnum, QString::fromLocal8Bit(std::strerror(errnum)));
}

QByteArray native(const QString& path) {
    return QFile::encodeName(path);
}

// write(2) may take fewer bytes than it is given, and a file system that is full takes
// the first ones and refuses the rest; only the error number of the refusal says why.
// Qt's buffered writes report such a refusal of the last bytes as success (QSaveFile
// below 16 KiB) or as "Unknown error".
int writeAll(int fd, const QByteArray& bytes) {
    const char* data = bytes.constData();
    qint64 left = bytes.size();
    while (left > 0) {
        const ssize_t n = ::write(fd, data, size_t(std::min<qint64>(left, qint64(1) << 30)));
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return errno;
        if (n == 0)
            return EIO;
        data += n;
        left -= n;
    }
    return 0;
}

// Puts the bytes into the open file and closes it. To disk: flushed, and the size the
// file system reports for it must be the size written, since some (network, FUSE) only
// tell of a short write then. The close counts too: a network file system may report a
// full disk only there.
bool fill(int fd, const QByteArray& bytes, Sync sync, Failure* failure) {
    int errnum = writeAll(fd, bytes);
    struct stat written {};
    if (errnum == 0 && sync == Sync::ToDisk && (::fsync(fd) != 0 || ::fstat(fd, &written) != 0))
        errnum = errno;
    if (::close(fd) != 0 && errnum == 0 && errno != EINTR)
        errnum = errno;
    if (errnum != 0)
        return failWith(failure, errnum);
    if (sync == Sync::ToDisk && written.st_size != bytes.size())
        return fail(failure, 0,
                    QStringLiteral("%1 of %2 bytes reached the disk")
                        .arg(qint64(written.st_size))
                        .arg(bytes.size()));
    return true;
}

// A new file beside `target` that no one else can have open, made as any new file is
// (0666 less the umask) so that a new target gets the user's usual permissions.
int createBeside(const QString& target, QString* name, Failure* failure) {
    // A handful of tries: a clash of two random names is all but impossible, and a
    // folder where every try clashes is not one to keep trying in.
    for (int attempt = 0; attempt < 16; ++attempt) {
        const QString candidate =
            target + QStringLiteral(".%1").arg(QRandomGenerator::global()->generate(), 8, 16,
                                               QLatin1Char('0'));
        const int fd =
            ::open(native(candidate).constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd >= 0) {
            *name = candidate;
            return fd;
        }
        if (errno != EEXIST && errno != EINTR) {
            failWith(failure, errno);
            return -1;
        }
    }
    failWith(failure, EEXIST);
    return -1;
}

bool renameOver(const QString& from, const QString& to, Failure* failure) {
    if (std::rename(native(from).constData(), native(to).constData()) != 0)
        return failWith(failure, errno);
    return true;
}

bool toText(bool written, const Failure& failure, QString* error) {
    if (!written && error)
        *error = failure.reason;
    return written;
}

} // namespace

bool write(const QString& path, const QByteArray& bytes, Sync sync, QString* error) {
    Failure failure;
    return toText(write(path, bytes, sync, &failure), failure, error);
}

bool write(const QString& path, const QByteArray& bytes, Sync sync, Failure* failure,
           const Check& check) {
    // A settings file kept as a link to elsewhere stays a link.
    const QFileInfo info(path);
    const QString target = info.isSymLink() ? info.symLinkTarget() : path;
    struct stat old {};
    const bool replacing = ::stat(native(target).constData(), &old) == 0 && S_ISREG(old.st_mode);

    QString temporary;
    const int fd = createBeside(target, &temporary, failure);
    if (fd < 0)
        return false;
    if (replacing)
        ::fchmod(fd, old.st_mode & 07777);
    QString reason;
    bool written = fill(fd, bytes, sync, failure);
    if (written && check && !check(temporary, &reason))
        written = fail(failure, 0, reason);
    if (written)
        written = renameOver(temporary, target, failure);
    if (!written)
        ::unlink(native(temporary).constData());
    return written;
}

bool writeVia(const QString& temporary, const QString& path, const QByteArray& bytes,
              QString* error) {
    Failure failure;
    const int fd =
        ::open(native(temporary).constData(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (fd < 0)
        return toText(failWith(&failure, errno), failure, error);
    if (!fill(fd, bytes, Sync::ToDisk, &failure)) {
        QFile::remove(temporary);
        return toText(false, failure, error);
    }
    if (QFileInfo(path).isFile())
        QFile::setPermissions(temporary, QFile::permissions(path));
    return toText(renameOver(temporary, path, &failure), failure, error);
}

} // namespace platform::SafeFile
