#include "Profile.h"

#include "TextCodec.h"
#include "platform/SafeFile.h"

#include <QFile>
#include <QStringList>
#include <optional>

namespace platform::profile {
namespace {

bool isBlank(QChar c) {
    return c == QLatin1Char(' ') || c == QLatin1Char('\t');
}

QString trimBlanks(const QString& s) {
    qsizetype b = 0, e = s.size();
    while (b < e && isBlank(s[b]))
        ++b;
    while (e > b && isBlank(s[e - 1]))
        --e;
    return s.mid(b, e - b);
}

bool sameName(const QString& a, const QString& b) {
    return QString::compare(a, b, Qt::CaseInsensitive) == 0;
}

// One file in memory, line by line, remembering how it was stored. Each line read keeps
// its own bytes with its line break: a line this program does not change is written back
// exactly as it was, whatever its encoding, so other programs' sections and keys (and
// bytes no codec knows) survive a write of ours.
struct IniText {
    QStringList lines;
    // The bytes of each line as read, break included; empty for a line made or changed.
    QList<QByteArray> raw;
    bool crlf = false;
    bool cp932 = false;

    static std::optional<IniText> load(const QString& path, bool mustExist) {
        IniText ini;
        QFile f(path);
        if (!f.exists()) {
            if (mustExist)
                return std::nullopt;
            return ini;
        }
        if (!f.open(QIODevice::ReadOnly))
            return std::nullopt;
        const QByteArray bytes = f.readAll();
        ini.cp932 = !isValidUtf8(bytes);
        ini.crlf = bytes.contains("\r\n");
        qsizetype at = 0;
        while (at < bytes.size()) {
            qsizetype end = at;
            while (end < bytes.size() && bytes[end] != '\n' && bytes[end] != '\r')
                ++end;
            const QByteArray content = bytes.mid(at, end - at);
            if (end < bytes.size())
                end += (bytes[end] == '\r' && end + 1 < bytes.size() && bytes[end + 1] == '\n') ? 2
                                                                                                : 1;
            // Each line decoded on its own: one line of another encoding does not turn
            // the rest of the file into mojibake.
            ini.lines.append(decodeText(content));
            ini.raw.append(bytes.mid(at, end - at));
            at = end;
        }
        return ini;
    }

    void set(qsizetype i, const QString& line) {
        lines[i] = line;
        raw[i].clear();
    }
    void insert(qsizetype i, const QString& line) {
        lines.insert(i, line);
        raw.insert(i, QByteArray());
    }
    void append(const QString& line) { insert(lines.size(), line); }

    static std::optional<QString> sectionName(const QString& line) {
        const QString t = trimBlanks(line);
        if (!t.startsWith(QLatin1Char('[')))
            return std::nullopt;
        const qsizetype close = t.indexOf(QLatin1Char(']'));
        if (close < 0)
            return std::nullopt; // malformed header: skipped like any other stray line
        return trimBlanks(t.mid(1, close - 1));
    }

    // Key and value of a "key=value" line; nothing for comments and stray lines.
    static std::optional<std::pair<QString, QString>> keyValue(const QString& line) {
        const QString t = trimBlanks(line);
        if (t.startsWith(QLatin1Char(';')) || t.startsWith(QLatin1Char('[')))
            return std::nullopt;
        const qsizetype eq = t.indexOf(QLatin1Char('='));
        if (eq <= 0)
            return std::nullopt;
        const QString key = trimBlanks(t.left(eq));
        if (key.isEmpty())
            return std::nullopt;
        return std::make_pair(key, trimBlanks(t.mid(eq + 1)));
    }

    // Line range [first, end) of a section's body; first == -1 when there is none.
    std::pair<qsizetype, qsizetype> sectionBody(const QString& section) const {
        for (qsizetype i = 0; i < lines.size(); ++i) {
            const auto name = sectionName(lines[i]);
            if (!name || !sameName(*name, section))
                continue;
            qsizetype end = i + 1;
            while (end < lines.size() && !sectionName(lines[end]))
                ++end;
            return {i + 1, end};
        }
        return {-1, -1};
    }

    qsizetype findKey(const QString& section, const QString& key) const {
        const auto [first, end] = sectionBody(section);
        if (first < 0)
            return -1;
        for (qsizetype i = first; i < end; ++i) {
            const auto kv = keyValue(lines[i]);
            if (kv && sameName(kv->first, key))
                return i;
        }
        return -1;
    }

    std::optional<QString> value(const QString& section, const QString& key) const {
        const qsizetype i = findKey(section, key);
        if (i < 0)
            return std::nullopt;
        return keyValue(lines[i])->second;
    }

    bool save(const QString& path) const {
        const QByteArray eol = crlf ? QByteArrayLiteral("\r\n") : QByteArrayLiteral("\n");
        QByteArray bytes;
        for (qsizetype i = 0; i < lines.size(); ++i) {
            // A line after the last one of the file as read needs the break it lacked.
            if (!bytes.isEmpty() && !bytes.endsWith('\n') && !bytes.endsWith('\r'))
                bytes += eol;
            if (!raw[i].isEmpty()) {
                bytes += raw[i];
                continue;
            }
            bool fits = false;
            QByteArray encoded;
            if (cp932)
                encoded = encodeCp932(lines[i], &fits);
            // A character CP932 lacks would be lost: keep that line in UTF-8.
            if (!cp932 || !fits)
                encoded = lines[i].toUtf8();
            bytes += encoded + eol;
        }
        return SafeFile::write(path, bytes);
    }
};

std::optional<QString> lookup(const QString& file, const QString& section, const QString& key) {
    const auto ini = IniText::load(file, true);
    if (!ini)
        return std::nullopt;
    return ini->value(trimBlanks(section), trimBlanks(key));
}

bool hasLineBreak(const QString& s) {
    return s.contains(QLatin1Char('\n')) || s.contains(QLatin1Char('\r'));
}

} // namespace

qint32 getString(const QString& file, const QString& section, const QString& key,
                 const QString& defaultValue, QString& buffer, qint32 bufferSize) {
    buffer.clear();
    if (bufferSize <= 0)
        return 0;
    QString text;
    if (const auto found = lookup(file, section, key)) {
        text = *found;
        if (text.size() > 1 &&
            (text.front() == QLatin1Char('"') || text.front() == QLatin1Char('\'')) &&
            text.back() == text.front())
            text = text.mid(1, text.size() - 2);
    } else {
        text = defaultValue;
        while (!text.isEmpty() && isBlank(text.back()))
            text.chop(1);
    }
    buffer = text.left(bufferSize - 1);
    return qint32(buffer.size());
}

qint32 getInt(const QString& file, const QString& section, const QString& key,
              qint32 defaultValue) {
    const auto found = lookup(file, section, key);
    if (!found || found->isEmpty())
        return defaultValue;
    const QString s = *found;
    qsizetype i = 0;
    while (i < s.size() && s[i].unicode() <= ' ')
        ++i;
    bool negative = false;
    if (i < s.size() && (s[i] == QLatin1Char('+') || s[i] == QLatin1Char('-'))) {
        negative = s[i] == QLatin1Char('-');
        ++i;
    }
    quint32 base = 10;
    if (i + 1 < s.size() && s[i] == QLatin1Char('0')) {
        const QChar p = s[i + 1].toLower();
        base = p == QLatin1Char('x')   ? 16
               : p == QLatin1Char('o') ? 8
               : p == QLatin1Char('b') ? 2
                                       : 10;
        if (base != 10)
            i += 2;
    }
    quint32 result = 0; // wraps like the 32-bit original
    auto digitValue = [](QChar c) -> int {
        const char16_t u = c.unicode();
        if (u >= u'0' && u <= u'9')
            return u - u'0';
        if (u >= u'a' && u <= u'f')
            return u - u'a' + 10;
        if (u >= u'A' && u <= u'F')
            return u - u'A' + 10;
        return 99;
    };
    for (; i < s.size(); ++i) {
        const int digit = digitValue(s[i]);
        if (quint32(digit) >= base)
            break;
        result = result * base + quint32(digit);
    }
    return negative ? qint32(0u - result) : qint32(result);
}

bool writeString(const QString& file, const QString& section, const QString& key,
                 const QString& value) {
    const QString sec = trimBlanks(section);
    const QString k = trimBlanks(key);
    if (sec.isEmpty() || k.isEmpty() || hasLineBreak(sec) || hasLineBreak(k) ||
        hasLineBreak(value) || sec.contains(QLatin1Char(']')) || k.contains(QLatin1Char('=')) ||
        k.startsWith(QLatin1Char(';')) || k.startsWith(QLatin1Char('[')))
        return false;
    auto ini = IniText::load(file, false);
    if (!ini)
        return false;

    const qsizetype existing = ini->findKey(sec, k);
    if (existing >= 0) {
        // Keep the key as the file spells it; only the value changes.
        const auto kv = IniText::keyValue(ini->lines[existing]);
        ini->set(existing, kv->first + QLatin1Char('=') + value);
    } else {
        const QString line = k + QLatin1Char('=') + value;
        const auto [first, end] = ini->sectionBody(sec);
        if (first < 0) {
            ini->append(QLatin1Char('[') + sec + QLatin1Char(']'));
            ini->append(line);
        } else {
            // After the section's last non-blank line, so a blank line before the next
            // section stays where it was.
            qsizetype at = end;
            while (at > first && trimBlanks(ini->lines[at - 1]).isEmpty())
                --at;
            ini->insert(at, line);
        }
    }
    return ini->save(file);
}

} // namespace platform::profile
