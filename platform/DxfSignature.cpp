#include "DxfSignature.h"

#include <QFile>
#include <QFileInfo>

namespace DxfSignature {

namespace {

// One line of the head without its line end and surrounding blanks; false past the end.
bool nextLine(const QByteArray& head, qsizetype& at, QByteArray& line) {
    if (at >= head.size())
        return false;
    qsizetype nl = head.indexOf('\n', at);
    if (nl < 0)
        nl = head.size();
    line = head.mid(at, nl - at).trimmed();
    at = nl + 1;
    return true;
}

} // namespace

Kind ofHead(const QByteArray& head) {
    if (head.startsWith("AutoCAD Binary DXF"))
        return Kind::Binary;
    qsizetype at = 0;
    // A byte order mark some editors put before the first line.
    if (head.startsWith("\xEF\xBB\xBF"))
        at = 3;
    QByteArray code, value;
    while (nextLine(head, at, code)) {
        if (code.isEmpty())
            continue;
        if (!nextLine(head, at, value))
            return Kind::NotDxf;
        if (code == "999")
            continue; // a comment pair
        return code == "0" && value == "SECTION" ? Kind::Text : Kind::NotDxf;
    }
    return Kind::NotDxf;
}

Kind ofFile(const QString& path) {
    const QFileInfo info(path);
    if (!info.isFile())
        return Kind::NotDxf;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return Kind::NotDxf;
    return ofHead(file.read(kHeadBytes));
}

} // namespace DxfSignature
