#include "cadhost/dxf/DxfPrescan.h"

#include <charconv>
#include <cmath>
#include <cstdlib>

namespace cadhost::dxf {

namespace {

enum class ValueKind { Text, Real, Integer };

// Group code ranges of the DXF reference; anything not numeric is text.
ValueKind kindOf(int code) {
    if ((code >= 10 && code <= 59) || (code >= 110 && code <= 149) ||
        (code >= 210 && code <= 239) || (code >= 460 && code <= 469) ||
        (code >= 1010 && code <= 1059))
        return ValueKind::Real;
    if ((code >= 60 && code <= 79) || (code >= 90 && code <= 99) || (code >= 170 && code <= 179) ||
        (code >= 270 && code <= 299) || (code >= 370 && code <= 389) ||
        (code >= 400 && code <= 409) || (code >= 420 && code <= 429) ||
        (code >= 440 && code <= 459) || (code >= 1060 && code <= 1071))
        return ValueKind::Integer;
    return ValueKind::Text;
}

// Group codes whose value dxflib takes as the size of an array it allocates.
bool isCount(const QByteArray& entity, int code) {
    if (entity == "LWPOLYLINE")
        return code == 90;
    if (entity == "SPLINE")
        return code == 72 || code == 73 || code == 74;
    if (entity == "LEADER")
        return code == 76;
    if (entity == "HATCH")
        return code == 91 || code == 93;
    return false;
}

QByteArray trimmed(const char* begin, const char* end) {
    while (begin < end && (*begin == ' ' || *begin == '\t'))
        ++begin;
    while (end > begin && (end[-1] == ' ' || end[-1] == '\t' || end[-1] == '\r'))
        --end;
    return QByteArray(begin, end - begin);
}

bool parseInteger(const QByteArray& text, long long& out) {
    if (text.isEmpty())
        return false;
    char* end = nullptr;
    out = std::strtoll(text.constData(), &end, 10);
    return end == text.constData() + text.size();
}

bool parseReal(const QByteArray& text, double& out) {
    if (text.isEmpty())
        return false;
    const char* begin = text.constData();
    const char* stop = begin + text.size();
    // from_chars is several times faster than strtod and takes the plain decimals files
    // hold; strtod still judges what it refuses ("+1.5", hexadecimal).
    const auto [ptr, ec] = std::from_chars(begin, stop, out);
    if (ec == std::errc() && ptr == stop)
        return std::isfinite(out);
    char* end = nullptr;
    out = std::strtod(begin, &end);
    return end == stop && std::isfinite(out);
}

} // namespace

DxfPrescan DxfPrescan::check(const QByteArray& bytes, DxfPairSink* sink) {
    DxfPrescan r;
    auto fail = [&r](int line, const QString& what) {
        r.ok = false;
        r.errorLine = line;
        r.error = what;
        return r;
    };
    if (bytes.trimmed().isEmpty())
        return fail(1, QStringLiteral("the file is empty"));
    if (bytes.startsWith("AutoCAD Binary DXF"))
        return fail(1, QStringLiteral("binary DXF is not supported"));
    if (bytes.contains('\0'))
        return fail(1 + int(bytes.left(bytes.indexOf('\0')).count('\n')),
                    QStringLiteral("the file holds binary data, not DXF text"));

    const char* p = bytes.constData();
    const char* end = p + bytes.size();
    int line = 0;
    // The last line read without its line end, as dxflib takes a value.
    std::string_view raw;
    auto nextLine = [&](QByteArray& out) {
        if (p >= end)
            return false;
        const char* nl = static_cast<const char*>(memchr(p, '\n', size_t(end - p)));
        const char* stop = nl ? nl : end;
        out = trimmed(p, stop);
        const char* rawEnd = stop;
        while (rawEnd > p && (rawEnd[-1] == '\r' || rawEnd[-1] == '\n'))
            --rawEnd;
        raw = std::string_view(p, std::size_t(rawEnd - p));
        p = nl ? nl + 1 : end;
        ++line;
        return true;
    };

    // Counts in the file must be plausible: dxflib sizes arrays from them.
    const long long countLimit = bytes.size() / 4 + 16;
    QByteArray codeText, value;
    QByteArray section, lastVariable;
    QByteArray entityType;
    bool inSection = false, sawEof = false;
    while (nextLine(codeText)) {
        const int codeLine = line;
        if (codeText.isEmpty() && p >= end)
            break; // trailing blank line
        long long code = 0;
        if (!parseInteger(codeText, code) || code < 0 || code > 1071)
            return fail(codeLine, QStringLiteral("group code expected, found \"%1\"")
                                      .arg(QString::fromLatin1(codeText.left(40))));
        if (!nextLine(value))
            return fail(codeLine, QStringLiteral("the file ends after group code %1").arg(code));
        ++r.pairCount;
        double number = 0;
        switch (kindOf(int(code))) {
        case ValueKind::Real:
            if (!parseReal(value, number))
                return fail(line, QStringLiteral("number expected for group code %1, found \"%2\"")
                                      .arg(code)
                                      .arg(QString::fromLatin1(value.left(40))));
            break;
        case ValueKind::Integer: {
            long long v = 0;
            if (parseInteger(value, v))
                number = double(v);
            else if (parseReal(value, number))
                v = std::strtoll(value.constData(), nullptr, 10); // what dxflib's strtol sees
            else
                return fail(line, QStringLiteral("integer expected for group code %1, found \"%2\"")
                                      .arg(code)
                                      .arg(QString::fromLatin1(value.left(40))));
            if (isCount(entityType, int(code)) && (v < 0 || v > countLimit))
                return fail(
                    line,
                    QStringLiteral("implausible count %1 for group code %2").arg(v).arg(code));
            break;
        }
        case ValueKind::Text:
            break;
        }
        if (sink)
            sink->pair(int(code), raw, number);
        if (code == 0) {
            entityType = value;
            if (value == "SECTION") {
                if (inSection)
                    return fail(line, QStringLiteral("section %1 is not closed")
                                          .arg(QString::fromLatin1(section)));
                inSection = true;
                section.clear();
            } else if (value == "ENDSEC") {
                if (!inSection)
                    return fail(line, QStringLiteral("ENDSEC outside a section"));
                inSection = false;
            } else if (value == "EOF") {
                if (inSection)
                    return fail(line, QStringLiteral("section %1 is not closed")
                                          .arg(QString::fromLatin1(section)));
                sawEof = true;
                break;
            } else if (!inSection) {
                return fail(line, QStringLiteral("\"%1\" outside a section")
                                      .arg(QString::fromLatin1(value.left(40))));
            }
        } else if (code == 2 && inSection && section.isEmpty()) {
            section = value;
        } else if (code == 9 && section == "HEADER") {
            lastVariable = value;
        } else if (section == "HEADER" && (code == 1 || code == 3)) {
            const bool version = lastVariable == "$ACADVER";
            if (version)
                r.acadVersion = QString::fromLatin1(value);
            else if (lastVariable == "$DWGCODEPAGE")
                r.codePage = QString::fromLatin1(value);
            if (sink && (version || lastVariable == "$DWGCODEPAGE"))
                sink->headerText(r);
        }
    }
    if (!sawEof)
        return fail(line, inSection ? QStringLiteral("the file is truncated: section %1 is not "
                                                     "closed")
                                          .arg(QString::fromLatin1(section))
                                    : QStringLiteral("the file is truncated: no EOF"));
    r.ok = true;
    return r;
}

} // namespace cadhost::dxf
