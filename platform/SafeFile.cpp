#include "platform/SafeFile.h"

#include <QFile>
#include <QRandomGenerator>
#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

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

QString systemError(int number = errno) {
    return QString::fromLocal8Bit(std::strerror(number));
}

bool fail(QString* error, const QString& reason) {
    if (error)
        *error = reason;
    return false;
}

// Closes the descriptor however writing ends.
struct Descriptor {
    int fd = -1;
    ~Descriptor() {
        if (fd >= 0)
            ::close(fd);
    }
    int take() { return std::exchange(fd, -1); }
};

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

// A new file of our own under `name`: never an existing one, never through a link.
int createNew(const QByteArray& name) {
    return ::open(name.constData(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
}

// The target may be replaced when it is a file or a link (which goes, its target
// untouched) or nothing at all; the mode is that of a file being replaced, else 0.
bool replaceable(const QString& target, mode_t& mode, Failure* failure) {
    struct stat info {};
    mode = 0;
    if (::lstat(native(target).constData(), &info) != 0)
        return errno == ENOENT || failWith(failure, errno);
    if (S_ISREG(info.st_mode))
        mode = info.st_mode & 07777;
    else if (!S_ISLNK(info.st_mode))
        return fail(failure, 0, QStringLiteral("not a regular file"));
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
        const int fd = createNew(native(candidate));
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
    mode_t mode = 0;
    if (!replaceable(path, mode, failure))
        return false;
    QString temporary;
    const int fd = createBeside(path, &temporary, failure);
    if (fd < 0)
        return false;
    if (mode != 0)
        ::fchmod(fd, mode);
    QString reason;
    bool written = fill(fd, bytes, sync, failure);
    if (written && check && !check(temporary, &reason))
        written = fail(failure, 0, reason);
    if (written)
        written = renameOver(temporary, path, failure);
    if (!written)
        ::unlink(native(temporary).constData());
    return written;
}

bool writeVia(const QString& temporary, const QString& path, const QByteArray& bytes,
              QString* error) {
    Failure failure;
    // A file left by an earlier attempt, or something put in its place, goes first.
    if (::unlink(native(temporary).constData()) != 0 && errno != ENOENT)
        return toText(failWith(&failure, errno), failure, error);
    const int fd = createNew(native(temporary));
    if (fd < 0)
        return toText(failWith(&failure, errno), failure, error);
    mode_t mode = 0;
    Failure refused;
    const bool canReplace = replaceable(path, mode, &refused);
    if (mode != 0)
        ::fchmod(fd, mode);
    if (!fill(fd, bytes, Sync::ToDisk, &failure)) {
        ::unlink(native(temporary).constData());
        return toText(false, failure, error);
    }
    // The data is kept under the temporary name however the last step goes.
    if (!canReplace)
        return toText(false, refused, error);
    return toText(renameOver(temporary, path, &failure), failure, error);
}

Entry entryAt(const QString& path) {
    struct stat info {};
    Entry entry;
    if (::lstat(QFile::encodeName(path).constData(), &info) != 0)
        return entry;
    entry.kind = S_ISREG(info.st_mode)   ? Entry::Kind::Regular
                 : S_ISLNK(info.st_mode) ? Entry::Kind::Link
                                         : Entry::Kind::Other;
    entry.id = FileId{quint64(info.st_dev), quint64(info.st_ino)};
    return entry;
}

int openToRewrite(const QString& path, QString* error) {
    const QByteArray name = QFile::encodeName(path);
    // Not blocking: a pipe under the name would otherwise wait for a reader for ever.
    Descriptor file{::open(name.constData(), O_WRONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC)};
    if (file.fd >= 0) {
        struct stat info {};
        if (::fstat(file.fd, &info) == 0 && S_ISREG(info.st_mode) && info.st_nlink == 1 &&
            info.st_uid == ::geteuid()) {
            if (::ftruncate(file.fd, 0) != 0) {
                fail(error, systemError());
                return -1;
            }
            ::fcntl(file.fd, F_SETFL, ::fcntl(file.fd, F_GETFL) & ~O_NONBLOCK);
            return file.take();
        }
        ::close(file.take());
    }
    // Whatever else holds the name loses it; removing a name never touches the file
    // another name of it, or a link, leads to.
    if (::unlink(name.constData()) != 0 && errno != ENOENT) {
        fail(error, systemError());
        return -1;
    }
    file.fd = createNew(name);
    if (file.fd < 0)
        fail(error, systemError());
    return file.take();
}

} // namespace platform::SafeFile
