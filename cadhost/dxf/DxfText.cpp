#include "cadhost/dxf/DxfText.h"

#include <QStringDecoder>
#include <QStringEncoder>

namespace cadhost::dxf {

DxfText::DxfText(const QString& acadVersion, const QString& codePage)
    : m_encoding(encodingFor(acadVersion, codePage)) {}

QByteArray DxfText::encodingFor(const QString& acadVersion, const QString& codePage) {
    // AC1021 and later are always UTF-8; the comparison works on the version number.
    bool ok = false;
    const int version = acadVersion.mid(2).toInt(&ok);
    if (ok && version >= 1021)
        return "UTF-8";
    const QString cp = codePage.trimmed().toUpper();
    if (cp.isEmpty())
        return "windows-1252";
    if (cp == QLatin1String("ANSI_932") || cp == QLatin1String("DOS932"))
        return "Shift_JIS";
    if (cp.startsWith(QLatin1String("ANSI_")))
        return "windows-" + cp.mid(5).toLatin1();
    if (cp == QLatin1String("UTF8") || cp == QLatin1String("UTF-8"))
        return "UTF-8";
    return "windows-1252";
}

QString DxfText::decode(const std::string& bytes) const {
    const QByteArray raw = QByteArray::fromRawData(bytes.data(), qsizetype(bytes.size()));
    QString text;
    bool ascii = true;
    for (char c : bytes)
        if (static_cast<unsigned char>(c) >= 0x80) {
            ascii = false;
            break;
        }
    if (ascii) {
        text = QString::fromLatin1(raw);
    } else {
        QStringDecoder decoder(m_encoding.constData());
        if (!decoder.isValid())
            decoder = QStringDecoder(QStringDecoder::Latin1);
        text = decoder.decode(raw);
    }
    if (text.contains(QLatin1String("\\U+"), Qt::CaseInsensitive))
        text = unescapeUnicode(text);
    return text;
}

QByteArray DxfText::encode(const QString& text) const {
    if (m_encoding == "UTF-8")
        return text.toUtf8();
    QStringEncoder encoder(m_encoding.constData());
    QStringDecoder decoder(m_encoding.constData());
    if (!encoder.isValid() || !decoder.isValid())
        return text.toLatin1();
    QByteArray out;
    out.reserve(text.size());
    for (const QChar c : text) {
        if (c.unicode() < 0x80) {
            out += char(c.unicode());
            continue;
        }
        // A character the code page lacks comes back as something else.
        const QString one(c);
        const QByteArray bytes = encoder.encode(one);
        if (!c.isSurrogate() && decoder.decode(bytes) == one)
            out += bytes;
        else
            out += QStringLiteral("\\U+%1")
                       .arg(c.unicode(), 4, 16, QLatin1Char('0'))
                       .toUpper()
                       .toLatin1();
    }
    return out;
}

QString DxfText::unescapeUnicode(const QString& text) {
    QString out;
    out.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text[i] == QLatin1Char('\\') && i + 7 <= text.size() &&
            (text[i + 1] == QLatin1Char('U') || text[i + 1] == QLatin1Char('u')) &&
            text[i + 2] == QLatin1Char('+')) {
            bool ok = false;
            const uint code = text.mid(i + 3, 4).toUInt(&ok, 16);
            if (ok) {
                out += QChar(char16_t(code));
                i += 6;
                continue;
            }
        }
        out += text[i];
    }
    return out;
}

QString DxfText::plainMText(const QString& text) {
    QString out;
    out.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (c == QLatin1Char('{') || c == QLatin1Char('}'))
            continue;
        if (c != QLatin1Char('\\') || i + 1 >= text.size()) {
            out += c;
            continue;
        }
        const QChar k = text[i + 1];
        switch (k.unicode()) {
        case 'P':
            out += QLatin1Char('\n');
            ++i;
            break;
        case '~':
            out += QLatin1Char(' ');
            ++i;
            break;
        case '\\':
        case '{':
        case '}':
            out += k;
            ++i;
            break;
        case 'L':
        case 'l':
        case 'O':
        case 'o':
        case 'K':
        case 'k':
            ++i; // underline/overline/strike switches carry no text
            break;
        case 'S': { // stacked fraction "\S1/2;" -> "1/2"
            const qsizetype semi = text.indexOf(QLatin1Char(';'), i + 2);
            if (semi < 0) {
                out += text.mid(i + 2);
                i = text.size();
            } else {
                QString stacked = text.mid(i + 2, semi - i - 2);
                stacked.replace(QLatin1Char('^'), QLatin1Char('/'));
                stacked.replace(QLatin1Char('#'), QLatin1Char('/'));
                out += stacked;
                i = semi;
            }
            break;
        }
        default: {
            // Formatting codes with an argument end at ';' (\f, \H, \W, \C, \Q, \T, \A, \p).
            if (QStringLiteral("fFHhWwCcQqTtAap").contains(k)) {
                const qsizetype semi = text.indexOf(QLatin1Char(';'), i + 2);
                i = semi < 0 ? text.size() : semi;
            } else {
                out += c;
            }
        }
        }
    }
    return out;
}

} // namespace cadhost::dxf
