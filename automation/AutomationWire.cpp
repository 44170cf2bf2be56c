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

// Values carry a tag of their own. Qt's own container streaming reserves whatever count
// the bytes claim, so a few bytes could ask for gigabytes; every count here is checked
// against the bytes that are really left.
enum class Tag : quint8 { Null, Bool, Int, Long, Double, Text, TextList, List };
constexpr int kDeepestList = 8;

void writeValue(QDataStream& out, const QVariant& value);

void writeList(QDataStream& out, const QVariantList& values) {
    out << quint32(values.size());
    for (const QVariant& value : values)
        writeValue(out, value);
}

void writeValue(QDataStream& out, const QVariant& value) {
    switch (value.typeId()) {
    case QMetaType::Bool:
        out << quint8(Tag::Bool) << quint8(value.toBool() ? 1 : 0);
        return;
    case QMetaType::Int:
    case QMetaType::Short:
    case QMetaType::UShort:
        out << quint8(Tag::Int) << qint32(value.toInt());
        return;
    case QMetaType::UInt:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
        out << quint8(Tag::Long) << qint64(value.toLongLong());
        return;
    case QMetaType::Double:
    case QMetaType::Float:
        out << quint8(Tag::Double) << value.toDouble();
        return;
    case QMetaType::QString:
        out << quint8(Tag::Text) << value.toString();
        return;
    case QMetaType::QStringList: {
        const QStringList texts = value.toStringList();
        out << quint8(Tag::TextList) << quint32(texts.size());
        for (const QString& text : texts)
            out << text;
        return;
    }
    case QMetaType::QVariantList:
        out << quint8(Tag::List);
        writeList(out, value.toList());
        return;
    default:
        // Nothing else is part of the interface; the receiver refuses it by type.
        out << quint8(Tag::Null);
        return;
    }
}

// A count no larger than the bytes left: every element takes at least one byte.
bool plausibleCount(QDataStream& in, quint32 count) {
    return in.status() == QDataStream::Ok && qint64(count) <= in.device()->bytesAvailable();
}

bool readValue(QDataStream& in, QVariant& value, int depth);

bool readList(QDataStream& in, QVariantList& values, int depth) {
    quint32 count = 0;
    in >> count;
    if (depth > kDeepestList || !plausibleCount(in, count))
        return false;
    values.clear();
    values.reserve(qsizetype(count));
    for (quint32 i = 0; i < count; ++i) {
        QVariant value;
        if (!readValue(in, value, depth))
            return false;
        values << std::move(value);
    }
    return true;
}

bool readValue(QDataStream& in, QVariant& value, int depth) {
    quint8 tag = 0;
    in >> tag;
    switch (Tag(tag)) {
    case Tag::Null:
        value = QVariant();
        break;
    case Tag::Bool: {
        quint8 flag = 0;
        in >> flag;
        value = flag != 0;
        break;
    }
    case Tag::Int: {
        qint32 n = 0;
        in >> n;
        value = n;
        break;
    }
    case Tag::Long: {
        qint64 n = 0;
        in >> n;
        value = n;
        break;
    }
    case Tag::Double: {
        double d = 0;
        in >> d;
        value = d;
        break;
    }
    case Tag::Text: {
        QString text;
        in >> text; // Qt reads texts in bounded steps
        value = text;
        break;
    }
    case Tag::TextList: {
        quint32 count = 0;
        in >> count;
        if (!plausibleCount(in, count))
            return false;
        QStringList texts;
        texts.reserve(qsizetype(count));
        for (quint32 i = 0; i < count && in.status() == QDataStream::Ok; ++i) {
            QString text;
            in >> text;
            texts << text;
        }
        value = texts;
        break;
    }
    case Tag::List: {
        QVariantList items;
        if (!readList(in, items, depth + 1))
            return false;
        value = items;
        break;
    }
    default:
        return false;
    }
    return in.status() == QDataStream::Ok;
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
        out << request.serial << request.path << request.interface << request.member;
        writeList(out, request.arguments);
    });
}

QByteArray encode(const Reply& reply) {
    return frame([&](QDataStream& out) {
        out << reply.serial;
        if (reply.ok) {
            out << kReplyOk;
            writeList(out, reply.values);
        } else {
            out << kReplyError << reply.errorNumber << reply.errorDescription;
        }
    });
}

std::optional<Request> decodeRequest(const QByteArray& payload) {
    QDataStream in(payload);
    in.setVersion(kStreamVersion);
    Request request;
    in >> request.serial >> request.path >> request.interface >> request.member;
    if (!readList(in, request.arguments, 0) || !wellRead(in))
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
        if (!readList(in, reply.values, 0))
            return std::nullopt;
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
