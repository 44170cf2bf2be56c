#pragma once

#include <QByteArray>
#include <QString>

namespace cadhost::dxf {

// A first pass over a DXF file before dxflib sees it. dxflib trusts its input: counts
// in the file size its arrays and a broken pair structure makes it read nonsense, so
// the structure is checked here and a damaged file is refused with the line where the
// damage starts. The pass also picks up what the text decoding needs from the header.
struct DxfPrescan {
    bool ok = false;
    int errorLine = 0;   // 1-based line of the first problem
    QString error;       // what is wrong there
    QString acadVersion; // $ACADVER, e.g. "AC1021"
    QString codePage;    // $DWGCODEPAGE, e.g. "ANSI_932"
    qsizetype pairCount = 0;

    static DxfPrescan check(const QByteArray& bytes);
};

} // namespace cadhost::dxf
