#include "platform/SafeFile.h"

#include <QFile>
#include <QRandomGenerator>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

namespace platform::SafeFile {

namespace {

bool fail(QString* error, const QString& reason) {
    if (error)
        *error = reason;
    return false;
}

QString systemError(int number = errno) {
    return QString::fromLocal8Bit(std::strerror(number));
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

bool writeAll(int fd, const QByteArray& bytes) {
    const char* p = bytes.constData();
    auto left = std::size_t(bytes.size());
    while (left > 0) {
        const ssize_t done = ::write(fd, p, left);
        if (done < 0 && errno == EINTR)
            continue;
        if (done <= 0)
            return false;
        p += done;
        left -= std::size_t(done);
    }
    return true;
}

// A new file of our own under `name`: never an existing one, never through a link.
int createNew(const QByteArray& name) {
    return ::open(name.constData(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
}

// The target may be replaced when it is a file or a link (which goes, its target
// untouched) or nothing at all; the mode is that of a file being replaced, else 0.
bool replaceable(const QByteArray& target, mode_t& mode, QString* error) {
    struct stat info {};
    mode = 0;
    if (::lstat(target.constData(), &info) != 0)
        return errno == ENOENT || fail(error, systemError());
    if (S_ISREG(info.st_mode))
        mode = info.st_mode & 0777;
    else if (!S_ISLNK(info.st_mode))
        return fail(error, QStringLiteral("not a regular file"));
    return true;
}

// Writes, syncs when asked and closes; the caller removes the file when this fails.
bool fill(Descriptor& file, const QByteArray& bytes, mode_t mode, Sync sync, QString* error) {
    if (mode != 0 && ::fchmod(file.fd, mode) != 0)
        return fail(error, systemError());
    if (!writeAll(file.fd, bytes) || (sync == Sync::ToDisk && ::fsync(file.fd) != 0))
        return fail(error, systemError());
    if (::close(file.take()) != 0)
        return fail(error, systemError());
    return true;
}

bool renameOver(const QByteArray& from, const QByteArray& to, QString* error) {
    if (std::rename(from.constData(), to.constData()) != 0)
        return fail(error, systemError());
    return true;
}

} // namespace

bool write(const QString& path, const QByteArray& bytes, Sync sync, QString* error) {
    const QByteArray target = QFile::encodeName(path);
    mode_t mode = 0;
    if (!replaceable(target, mode, error))
        return false;
    Descriptor file;
    QByteArray temporary;
    for (int attempt = 0; file.fd < 0; ++attempt) {
        temporary = target + '.' +
                    QByteArray::number(QRandomGenerator::global()->generate64(), 36).right(8);
        file.fd = createNew(temporary);
        if (file.fd < 0 && (errno != EEXIST || attempt == 16))
            return fail(error, systemError());
    }
    if (!fill(file, bytes, mode, sync, error) || !renameOver(temporary, target, error)) {
        ::unlink(temporary.constData());
        return false;
    }
    return true;
}

bool writeVia(const QString& temporary, const QString& path, const QByteArray& bytes,
              QString* error) {
    const QByteArray temp = QFile::encodeName(temporary);
    const QByteArray target = QFile::encodeName(path);
    // A file left by an earlier attempt, or something put in its place, goes first.
    if (::unlink(temp.constData()) != 0 && errno != ENOENT)
        return fail(error, systemError());
    Descriptor file{createNew(temp)};
    if (file.fd < 0)
        return fail(error, systemError());
    mode_t mode = 0;
    QString refused;
    const bool canReplace = replaceable(target, mode, &refused);
    if (!fill(file, bytes, mode, Sync::ToDisk, error)) {
        ::unlink(temp.constData());
        return false;
    }
    // The data is kept under the temporary name however the last step goes.
    if (!canReplace)
        return fail(error, refused);
    return renameOver(temp, target, error);
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
