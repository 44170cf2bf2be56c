#include "clsCSV_Function2.h"

#include "platform/MsgBox.h"
#include "platform/TextCodec.h"
#include "platform/VbNumeric.h"

#include <QFile>
#include <QFileInfo>
#include <QStringList>

namespace {

struct Field {
    QString text;
    bool quoted = false;
};

// How a line falls into fields. A field is quoted when its first character is a double
// quote; it then ends at the first quote followed by the delimiter, so delimiters inside
// it are content. The last field runs to the end of the line, and a quoted last field
// loses its last character, whatever it is, as the closing quote. Doubled quotes stay
// doubled. When counting columns the end of a quoted field other than the first is
// searched from its opening quote, so `a,",b` counts one more column than it yields
// fields; the data pass drops what lies beyond the counted columns.
QList<Field> splitLine(const QString& line, QChar delimiter, bool forColumnScan) {
    QList<Field> fields;
    const QString quoteDelimiter = QString(QLatin1Char('"')) + delimiter;
    const qsizetype len = line.size();
    qsizetype pos = 0;
    bool first = true;
    for (;;) {
        if (pos < len && line[pos] == QLatin1Char('"')) {
            const qsizetype from = (forColumnScan && !first) ? pos : pos + 1;
            const qsizetype end = line.indexOf(quoteDelimiter, from);
            if (end >= 0) {
                fields.append({line.mid(pos + 1, qMax<qsizetype>(0, end - pos - 1)), true});
                pos = end + 2;
                first = false;
                continue;
            }
            // A lone opening quote at the end of the line leaves nothing to keep.
            fields.append({line.mid(pos + 1, qMax<qsizetype>(0, len - pos - 2)), true});
            return fields;
        }
        const qsizetype end = line.indexOf(delimiter, pos);
        if (end >= 0) {
            fields.append({line.mid(pos, end - pos), false});
            pos = end + 1;
            first = false;
            continue;
        }
        fields.append({line.mid(pos), false});
        return fields;
    }
}

// Lines end at CR, CR LF, or LF (the line end of files written here); a break at the very
// end does not start another line.
QStringList splitLines(const QString& text) {
    QStringList lines;
    qsizetype start = 0;
    const qsizetype len = text.size();
    for (qsizetype i = 0; i < len; ++i) {
        const QChar c = text[i];
        if (c != QLatin1Char('\r') && c != QLatin1Char('\n'))
            continue;
        lines.append(text.mid(start, i - start));
        if (c == QLatin1Char('\r') && i + 1 < len && text[i + 1] == QLatin1Char('\n'))
            ++i;
        start = i + 1;
    }
    if (start < len)
        lines.append(text.mid(start));
    return lines;
}

// The variant comparison of a header field with an expected name: a text equals a text
// exactly, Empty equals "" and 0, a number never equals a text (VB orders numbers before
// texts), Null equals nothing.
bool headerMatches(const std::optional<QString>& field, const QVariant& expected) {
    if (platform::vb::isNull(expected))
        return false;
    const int type = expected.metaType().id();
    const bool expectedIsText =
        type == QMetaType::QString || type == QMetaType::QChar || type == QMetaType::QByteArray;
    if (!field) { // Empty
        if (!expected.isValid())
            return true;
        if (expectedIsText)
            return expected.toString().isEmpty();
        const auto n = platform::vb::variantToNumber(expected);
        return n && *n == 0;
    }
    if (!expected.isValid())
        return field->isEmpty();
    if (expectedIsText)
        return *field == expected.toString();
    return false;
}

QVariantList headerList(const QVariant* vHeader) {
    if (!vHeader)
        return {};
    const int type = vHeader->metaType().id();
    if (type == QMetaType::QVariantList || type == QMetaType::QStringList)
        return vHeader->toList();
    return {};
}

bool isArray(const QVariant* vHeader) {
    return vHeader && (vHeader->metaType().id() == QMetaType::QVariantList ||
                       vHeader->metaType().id() == QMetaType::QStringList);
}

} // namespace

bool clsCSV_Function2::pu_fun_bGet_CSV_Array(const QString& sCSV_FileFullPath,
                                             VbArray2D& vCSV_Array, QVariant* vHeader,
                                             bool bArrayMode, bool bChkHeadZero, bool bChkNotMozi,
                                             qint32 iHeaderLows, qint32 iHeaderLow,
                                             bool bColComplete, const QString& sDelimited) {
    vCSV_Array.erase();
    if (sDelimited.size() != 1)
        return false;
    const QChar delimiter = sDelimited[0];

    const QFileInfo info(sCSV_FileFullPath);
    if (sCSV_FileFullPath.isEmpty() || !info.exists() || !info.isFile()) {
        platform::MsgBox(
            QStringLiteral("CSVファイルからデータを読み込もうとしましたが、") + QLatin1Char('\r') +
                QStringLiteral("指定されたCSVファイルが見つかりませんでした。"),
            platform::vbCritical | platform::vbOKOnly, QStringLiteral("pu_fun_bGet_CSV_Array"));
        return false;
    }

    try {
        const QVariantList header = headerList(vHeader);
        const qint32 h = isArray(vHeader) ? qint32(header.size()) - 1 : 0;

        QFile file(sCSV_FileFullPath);
        if (!file.open(QIODevice::ReadOnly))
            return false;
        const QStringList lines = splitLines(platform::decodeText(file.readAll()));
        file.close();

        // Column scan: the most delimiters recognised on any line it looks at.
        qint32 maxEnds = 0;
        QString headerLine;
        for (qsizetype n = 0; n < lines.size(); ++n) {
            const qint32 lineNumber = qint32(n) + 1;
            if (bColComplete || lineNumber == 1)
                maxEnds = qMax(maxEnds, qint32(splitLine(lines[n], delimiter, true).size()) - 1);
            headerLine = lines[n];
            if (iHeaderLow > 0 && lineNumber == iHeaderLow)
                break;
            // Without a header line to reach, counting the first line is all there is to do.
            if (!bColComplete && iHeaderLow <= 0)
                break;
        }
        const qint32 columns = maxEnds + 1;

        if (h > 0) {
            if (maxEnds != h) {
                *vHeader = QStringLiteral("Not Col Num");
                return false;
            }
            const QList<Field> names = splitLine(headerLine, delimiter, false);
            for (qint32 k = 0; k <= h; ++k) {
                const std::optional<QString> field =
                    k < names.size() ? std::optional<QString>(names[k].text) : std::nullopt;
                if (!headerMatches(field, header[k])) {
                    *vHeader = QStringLiteral("Not Head data");
                    return false;
                }
            }
        }

        const qint32 base = bArrayMode ? 1 : 0;
        qint32 row = base;
        for (qsizetype n = qMax<qint32>(0, iHeaderLows); n < lines.size(); ++n, ++row) {
            vCSV_Array.redimPreserve(base, base + columns - 1, base, row);
            const QList<Field> fields = splitLine(lines[n], delimiter, false);
            for (qint32 i = 0; i < fields.size() && i < columns; ++i) {
                QString text = fields[i].text;
                if (bChkNotMozi) {
                    if (fields[i].quoted)
                        text.prepend(QLatin1Char('\''));
                } else if (bChkHeadZero && text.startsWith(QLatin1Char('0')) &&
                           platform::vb::IsNumeric(text)) {
                    // Keeps a spreadsheet from turning "007" into 7.
                    text.prepend(QLatin1Char('\''));
                }
                vCSV_Array(base + i, row) = text;
            }
        }
        return true;
    } catch (const std::exception&) {
        return false;
    }
}
