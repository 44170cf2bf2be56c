#pragma once

#include <QByteArray>
#include <QString>
#include <memory>

namespace cadhost {
class Drawing;
}

namespace cadhost::dxf {

// Reads a DXF file into a new Drawing: layers, linetypes and the model-space entities,
// block references expanded into primitives. The drawing is built apart from any open
// one, so a failure leaves nothing half-read behind.
//
// Failures throw platform::AutomationError (caderr::Failed) whose description names
// the file and, for a damaged file, the line: "cannot open plan.dxf: line 12: group
// code expected, found \"xyz\"".
class DxfReader {
public:
    static std::unique_ptr<Drawing> readFile(const QString& path);
    // displayName stands for the file in error messages.
    static std::unique_ptr<Drawing> readBytes(const QByteArray& bytes, const QString& displayName);
};

} // namespace cadhost::dxf
