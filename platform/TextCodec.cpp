#include "TextCodec.h"

#include <QStringDecoder>
#include <QStringEncoder>

namespace platform {
namespace {
// ICU knows the Windows code page under several names; take the first it accepts.
const char* cp932Name() {
    static const char* name = [] {
        for (const char* candidate : {"cp932", "windows-31j", "Shift_JIS"}) {
            if (QStringDecoder(candidate).isValid())
                return candidate;
        }
        return "Shift_JIS";
    }();
    return name;
}
} // namespace

bool isValidUtf8(const QByteArray& bytes) {
    QStringDecoder decoder(QStringConverter::Utf8, QStringConverter::Flag::Stateless);
    QString ignored = decoder.decode(bytes);
    return !decoder.hasError();
}

QString decodeText(const QByteArray& bytes) {
    {
        QStringDecoder utf8(QStringConverter::Utf8, QStringConverter::Flag::Stateless);
        QString text = utf8.decode(bytes);
        if (!utf8.hasError())
            return text;
    }
    QStringDecoder cp932(cp932Name());
    return cp932.decode(bytes);
}

QByteArray encodeCp932(const QString& text, bool* ok) {
    QStringEncoder encoder(cp932Name());
    QByteArray bytes = encoder.encode(text);
    if (ok) {
        // The converter substitutes unmappable characters silently, so check the round trip.
        QStringDecoder back(cp932Name());
        *ok = encoder.isValid() && !encoder.hasError() && back.decode(bytes) == text;
    }
    return bytes;
}

} // namespace platform
