#pragma once

#include <QByteArray>
#include <QString>
#include <QtGlobal>
#include <functional>

// Every file the programs write is written whole or not at all: the new bytes go to a
// file beside the target, which then takes the target's place in one rename. A reader
// never sees half a file, and a failed write (disk full, the program killed) leaves the
// old file as it was.
//
// Writing never goes through a name to another file: the rename replaces the name
// itself, so a symbolic link there is replaced by the new file and whatever it pointed
// to stays as it was, as does any other name of a hard-linked file. A name that stands
// for a device, a pipe, a socket or a folder is refused, never replaced.
namespace platform::SafeFile {

enum class Sync {
    // Flushed to disk, and the size the file system then reports checked, before the
    // rename: settings, drawings, tables and workbooks a user keeps.
    ToDisk,
    // Left to the system: pictures of the work folder, which every refresh makes anew by
    // the thousand, where a flush per file would cost seconds.
    NotToDisk,
};

// Why a write failed.
struct Failure {
    // The system's error number when it refused a step (ENOSPC: the disk is full,
    // EACCES or EROFS: the folder cannot be written), 0 when the file was written but
    // found wanting.
    int errnum = 0;
    QString reason;
};

// Looks at the new file under its temporary name before it takes the target's place;
// false, with the reason, keeps the old file and removes the new one.
using Check = std::function<bool(const QString& writtenFile, QString* reason)>;

// Writes `bytes` as the whole of `path`. False, with the reason in `error` when given,
// when the target keeps what it held before. The new file takes the old one's
// permissions.
bool write(const QString& path, const QByteArray& bytes, Sync sync = Sync::ToDisk,
           QString* error = nullptr);
// The same, saying why in a way a caller can tell a full disk from other failures, and
// checking the new file before it replaces the old.
bool write(const QString& path, const QByteArray& bytes, Sync sync, Failure* failure,
           const Check& check = {});

// The same through a temporary file of the caller's choosing, for callers that tell
// their users where the new data is when the last step fails: the temporary file then
// stays, holding the only copy. Whatever had the temporary name before is removed first,
// never written into. The new file takes the old one's permissions.
bool writeVia(const QString& temporary, const QString& path, const QByteArray& bytes,
              QString* error = nullptr);
// Which file a name stands for, as the system tells files apart.
struct FileId {
    quint64 device = 0;
    quint64 inode = 0;
    bool isNull() const { return device == 0 && inode == 0; }
    bool operator==(const FileId&) const = default;
};

// What a name holds itself, a link not followed.
struct Entry {
    enum class Kind { Missing, Regular, Link, Other };
    Kind kind = Kind::Missing;
    FileId id;
};
Entry entryAt(const QString& path);

// A descriptor to write a file where it is, from its start, for the work folder's
// pictures, which are rewritten in place (see metafile::WmfWriter::save). An existing
// file is reused only when it is a regular file of this user with no other name;
// anything else under the name (a link, a hard link to a file elsewhere, a pipe) is
// removed and a new file made in its place, never written into. -1, with the reason,
// when no file can be had.
int openToRewrite(const QString& path, QString* error = nullptr);

} // namespace platform::SafeFile
