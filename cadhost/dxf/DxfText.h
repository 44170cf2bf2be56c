#pragma once

#include <QByteArray>
#include <QString>
#include <string>

namespace cadhost::dxf {

// Turns the bytes of a DXF string into text. Files of AC1021 (2007) and later are
// UTF-8; older ones use the code page named in $DWGCODEPAGE (ANSI_932 is the Japanese
// CP932). Either may hold \U+XXXX escapes for characters outside the code page.
class DxfText {
public:
    DxfText() = default;
    DxfText(const QString& acadVersion, const QString& codePage);

    QString decode(const std::string& bytes) const;
    // The bytes a DXF value of this file holds for text: what the file's encoding cannot
    // hold goes out as a \U+XXXX escape, which decode reads back.
    QByteArray encode(const QString& text) const;
    // MTEXT carries inline formatting (\P paragraphs, {\f...;} fonts, \~ spaces):
    // keeps the words, turns paragraphs into line breaks.
    static QString plainMText(const QString& text);
    static QString unescapeUnicode(const QString& text);
    // The text encoding used for a version and code page, as a codec name.
    static QByteArray encodingFor(const QString& acadVersion, const QString& codePage);

private:
    QByteArray m_encoding = "UTF-8";
};

} // namespace cadhost::dxf
