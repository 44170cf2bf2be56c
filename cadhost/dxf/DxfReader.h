#pragma once

#include <QByteArray>
#include <QString>
#include <memory>

namespace cadhost {
class Drawing;
}

namespace cadhost::dxf {

// How large a drawing may grow once its block references are expanded. A few kilobytes
// of nested references or arrays can stand for billions of primitives, which would take
// the host down with every drawing open in it; such a file is refused instead. The
// largest real drawings we have seen expand to a few hundred thousand primitives of a
// few points each (the load benchmark has 200,000 entities), so the bounds leave room
// for ten times that and more, while a drawing at the bound still fits in about a
// gigabyte. A placed copy of a block and an entity that draws nothing count as one
// primitive each, so that arrays of empty blocks are bounded too.
struct DxfReadLimits {
    static constexpr qint64 kMaxPrimitives = 5'000'000;
    static constexpr qint64 kMaxPoints = 50'000'000;
    // Drawing files of hundreds of megabytes exist; a gigabyte is beyond any of them and
    // still below what a QByteArray can hold.
    static constexpr qint64 kMaxFileBytes = qint64(1) << 30;

    qint64 primitives = kMaxPrimitives;
    qint64 points = kMaxPoints;
    qint64 fileBytes = kMaxFileBytes;
};

// Reads a DXF file into a new Drawing: layers, linetypes and the model-space entities,
// block references expanded into primitives. The drawing is built apart from any open
// one, so a failure leaves nothing half-read behind.
//
// Failures throw platform::AutomationError (caderr::Failed) whose description names
// the file and, for a damaged file, the line: "cannot open plan.dxf: line 12: group
// code expected, found \"xyz\"". Only regular files are read: a device or a pipe behind
// the name is refused before anything waits on it or reads it without end.
class DxfReader {
public:
    static std::unique_ptr<Drawing> readFile(const QString& path,
                                             const DxfReadLimits& limits = DxfReadLimits());
    // displayName stands for the file in error messages.
    static std::unique_ptr<Drawing> readBytes(const QByteArray& bytes, const QString& displayName,
                                              const DxfReadLimits& limits = DxfReadLimits());
};

} // namespace cadhost::dxf
