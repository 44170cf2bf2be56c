#pragma once

#include <QByteArray>
#include <QString>

// Whether a file is a DXF drawing, told from its first bytes, as a CAD's open does before
// it reads a file whole: a text DXF opens with the pair "0" / "SECTION" (after comments of
// group 999 and blank lines), a binary one with its sentinel. The viewer uses it to tell a
// drawing from a layer list on its command line; the host to refuse any other file before
// it reads gigabytes of it.
namespace DxfSignature {

enum class Kind { NotDxf, Text, Binary };

// How many bytes of a file's beginning the test reads at most.
constexpr qsizetype kHeadBytes = 64 * 1024;

Kind ofHead(const QByteArray& head);
// NotDxf for a file that cannot be read or is no regular file.
Kind ofFile(const QString& path);

inline bool isDxfFile(const QString& path) {
    return ofFile(path) != Kind::NotDxf;
}

} // namespace DxfSignature
