#include "AutomationWire.h"

#include <QDataStream>
#include <QIODevice>
#include <QtEndian>

namespace acadwire {
namespace {

constexpr QDataStream::Version kStreamVersion = QDataStream::Qt_6_4;
constexpr quint8 kReplyOk = 0;
constexpr quint8 kReplyError = 1;

template <typename Write> QByteArray frame(Write&& write) {
    QByteArray bytes(4, '\0');
    {
        QDataStream out(&bytes, QIODevice::WriteOnly | QIODevice::Append);
        out.setVersion(kStreamVersion);
        write(out);
    }
    qToLittleEndian<quint32>(quint32(bytes.size() - 4), bytes.data());
    return bytes;
}

bool wellRead(const QDataStream& in) {
    return in.status() == QDataStream::Ok && in.atEnd();
}

} // namespace

Reply Reply::success(quint32 serial, QVariantList values) {
    Reply reply;
    reply.serial = serial;
    reply.values = std::move(values);
    return reply;
}

Reply Reply::failure(quint32 serial, qint32 number, QString description) {
    Reply reply;
    reply.serial = serial;
    reply.ok = false;
    reply.errorNumber = number;
    reply.errorDescription = std::move(description);
    return reply;
}

QByteArray encode(const Request& request) {
    return frame([&](QDataStream& out) {
        out << request.serial << request.path << request.interface << request.member
            << request.arguments;
    });
}

QByteArray encode(const Reply& reply) {
    return frame([&](QDataStream& out) {
        out << reply.serial;
        if (reply.ok)
            out << kReplyOk << reply.values;
        else
            out << kReplyError << reply.errorNumber << reply.errorDescription;
    });
}

std::optional<Request> decodeRequest(const QByteArray& payload) {
    QDataStream in(payload);
    in.setVersion(kStreamVersion);
    Request request;
    in >> request.serial >> request.path >> request.interface >> request.member >>
        request.arguments;
    if (!wellRead(in))
        return std::nullopt;
    return request;
}

std::optional<Reply> decodeReply(const QByteArray& payload) {
    QDataStream in(payload);
    in.setVersion(kStreamVersion);
    Reply reply;
    quint8 kind = 0;
    in >> reply.serial >> kind;
    if (kind == kReplyOk) {
        in >> reply.values;
    } else if (kind == kReplyError) {
        reply.ok = false;
        in >> reply.errorNumber >> reply.errorDescription;
    } else {
        return std::nullopt;
    }
    if (!wellRead(in))
        return std::nullopt;
    return reply;
}

void FrameReader::append(const char* data, qsizetype size) {
    if (m_broken)
        return;
    // Drop what was consumed before growing, so a long conversation keeps a small buffer.
    if (m_start > 0 && m_start == m_buffer.size()) {
        m_buffer.clear();
        m_start = 0;
    } else if (m_start > 4096 && m_start * 2 > m_buffer.size()) {
        m_buffer.remove(0, m_start);
        m_start = 0;
    }
    m_buffer.append(data, size);
}

std::optional<QByteArray> FrameReader::next() {
    if (m_broken || m_buffer.size() - m_start < 4)
        return std::nullopt;
    const quint32 length = qFromLittleEndian<quint32>(m_buffer.constData() + m_start);
    if (length > kMaxFrameBytes) {
        m_broken = true;
        return std::nullopt;
    }
    if (m_buffer.size() - m_start - 4 < qsizetype(length))
        return std::nullopt;
    QByteArray payload = m_buffer.mid(m_start + 4, length);
    m_start += 4 + qsizetype(length);
    return payload;
}

} // namespace acadwire
