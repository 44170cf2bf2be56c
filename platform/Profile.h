#pragma once

#include <QString>

// Initialisation files read and written the way the Windows profile functions do it:
// "[section]" lines, "key=value" lines, sections and keys found without regard to letter
// case, the first of duplicate sections or keys wins, blanks around names and values
// ignored, lines starting with ';' and lines that are neither a section nor a key
// skipped. Files are UTF-8; a file that is not valid UTF-8 is read as CP932 and written
// back as CP932 as long as every character fits, so a Windows file keeps its encoding.
namespace platform::profile {

// GetPrivateProfileIntA: the value's leading whole number (blanks, an optional sign, then
// decimal digits, or hex after "0x", octal after "0o", binary after "0b"; "12abc" is 12,
// "abc" is 0; wraps like a 32-bit integer). A missing key, section or file, and an empty
// value, give `defaultValue`.
qint32 getInt(const QString& file, const QString& section, const QString& key, qint32 defaultValue);

// GetPrivateProfileStringA: copies the value (or `defaultValue`, without its trailing
// blanks, when the key is missing) into `buffer`, cut to `bufferSize` - 1 characters as
// the terminating NUL takes one place. A value enclosed in a pair of matching quotes
// loses them. Returns the number of characters copied.
qint32 getString(const QString& file, const QString& section, const QString& key,
                 const QString& defaultValue, QString& buffer, qint32 bufferSize);

// WritePrivateProfileStringA: sets key=value in place. An existing key's line is
// replaced, a new key goes after the last key of its section, a new section goes at the
// end of the file, a missing file is created. The file is replaced only when the whole
// new content has been written. Returns false when the file cannot be read or written,
// or when a name or value holds a line break (it would corrupt the file), a key holds
// '=' or a section ']'.
bool writeString(const QString& file, const QString& section, const QString& key,
                 const QString& value);

} // namespace platform::profile
