#pragma once

#include <QByteArray>
#include <QString>
#include <string_view>

namespace cadhost::dxf {

// A first pass over a DXF file before dxflib sees it. dxflib trusts its input: counts
// in the file size its arrays and a broken pair structure makes it read nonsense, so
// the structure is checked here and a damaged file is refused with the line where the
// damage starts. The pass also picks up what the text decoding needs from the header.
class DxfPairSink;

struct DxfPrescan {
    bool ok = false;
    int errorLine = 0;   // 1-based line of the first problem
    QString error;       // what is wrong there
    QString acadVersion; // $ACADVER, e.g. "AC1021"
    QString codePage;    // $DWGCODEPAGE, e.g. "ANSI_932"
    qsizetype pairCount = 0;

    static DxfPrescan check(const QByteArray& bytes) { return check(bytes, nullptr); }
    // The same check, handing every pair to sink as soon as it is found sound, so the
    // file is split into lines and its numbers parsed once. A sink sees a sound prefix
    // of a file that may still be refused further on.
    static DxfPrescan check(const QByteArray& bytes, DxfPairSink* sink);
};

class DxfPairSink {
public:
    virtual ~DxfPairSink() = default;
    // value is the line as dxflib reads it: the line end removed, spaces kept; number is
    // the value parsed for a group code that holds a number, else 0.
    virtual void pair(int code, std::string_view value, double number) = 0;
    // $ACADVER or $DWGCODEPAGE was read; scan holds both as far as known.
    virtual void headerText(const DxfPrescan& scan) = 0;
};

} // namespace cadhost::dxf
