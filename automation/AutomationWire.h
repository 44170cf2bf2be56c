#pragma once

#include "automation/CadErrorNumbers.h"

#include <QByteArray>
#include <QString>
#include <QVariantList>
#include <optional>

// The host's private automation socket: the calls of the bus interface (same object
// paths, interfaces, members and arguments) on a socket between exactly two processes
// of one user. A refresh makes tens of thousands of small calls in a row; on the bus
// each of them costs several thread and process hand-offs, here one write and one read
// on each side.
//
// A frame is a 32-bit little-endian payload length and the payload, a QDataStream
// (fixed version) of the fields below. Values are plain and tagged: null, booleans,
// 32- and 64-bit integers, doubles, strings, string lists and lists of such values
// (nested at most eight deep).
namespace acadwire {

// Frames larger than this are refused; the largest honest payload is a list of a few
// thousand layer or linetype names.
inline constexpr quint32 kMaxFrameBytes = 64u * 1024u * 1024u;

// Numbers the host answers with when a call cannot be dispatched at all, as a Windows
// automation server reports them.
namespace wireerr {
inline constexpr qint32 MemberNotFound = static_cast<qint32>(0x80020003u);
inline constexpr qint32 TypeMismatch = caderr::TypeMismatch;
inline constexpr qint32 BadParamCount = static_cast<qint32>(0x8002000Eu);
} // namespace wireerr

struct Request {
    quint32 serial = 0;
    QString path;
    QString interface;
    QString member;
    QVariantList arguments;
};

struct Reply {
    quint32 serial = 0;
    bool ok = true;
    QVariantList values;    // when ok
    qint32 errorNumber = 0; // when not
    QString errorDescription;

    static Reply success(quint32 serial, QVariantList values);
    static Reply failure(quint32 serial, qint32 number, QString description);
};

// Whole frames, length prefix included.
QByteArray encode(const Request& request);
QByteArray encode(const Reply& reply);

// From a payload (without the prefix); nothing when it is not a well-formed message.
std::optional<Request> decodeRequest(const QByteArray& payload);
std::optional<Reply> decodeReply(const QByteArray& payload);

// Cuts a byte stream into payloads. A length over kMaxFrameBytes marks the stream as
// broken for good: nothing after it can be trusted to start a frame.
class FrameReader {
public:
    void append(const char* data, qsizetype size);
    std::optional<QByteArray> next();
    bool broken() const { return m_broken; }

private:
    QByteArray m_buffer;
    qsizetype m_start = 0;
    bool m_broken = false;
};

} // namespace acadwire
