#pragma once

#include <QByteArray>
#include <QString>

namespace platform {

// Text files the system reads (settings, CSV tables) are UTF-8 here; files written by
// Japanese Windows programs arrive in CP932. A byte sequence that is valid UTF-8 is taken
// as UTF-8 (a leading byte-order mark is dropped), anything else as CP932.
bool isValidUtf8(const QByteArray& bytes);
QString decodeText(const QByteArray& bytes);

// CP932 bytes of a text. When `ok` is given it is set to false if some character has no
// CP932 form (that character is then replaced and the text cannot round-trip).
QByteArray encodeCp932(const QString& text, bool* ok = nullptr);

} // namespace platform
