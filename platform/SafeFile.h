#pragma once

#include <QByteArray>
#include <QString>

// Every file the programs write is written whole or not at all: the new bytes go to a
// file beside the target, which then takes the target's place in one rename. A reader
// never sees half a file, and a failed write (disk full, the program killed) leaves the
// old file as it was.
namespace platform::SafeFile {

enum class Sync {
    // Flushed to disk before the rename: settings, drawings, tables a user keeps.
    ToDisk,
    // Left to the system: pictures of the work folder, which every refresh makes anew by
    // the thousand, where a flush per file would cost seconds.
    NotToDisk,
};

// Writes `bytes` as the whole of `path`. False, with the reason in `error` when given,
// when the target keeps what it held before.
bool write(const QString& path, const QByteArray& bytes, Sync sync = Sync::ToDisk,
           QString* error = nullptr);

// The same through a temporary file of the caller's choosing, for callers that tell
// their users where the new data is when the last step fails: the temporary file then
// stays, holding the only copy. The new file takes the old one's permissions.
bool writeVia(const QString& temporary, const QString& path, const QByteArray& bytes,
              QString* error = nullptr);

} // namespace platform::SafeFile
