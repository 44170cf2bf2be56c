// libFuzzer entry for opening a drawing: any bytes a file may hold must give a drawing
// or the CAD's error, never a crash, a hang or memory without end. The expansion bound
// is lower than the host's own so that a run spends its time on many inputs rather
// than on building a few enormous drawings; the code that enforces it is the same.
#include "cadhost/dxf/DxfReader.h"
#include "cadhost/model/Drawing.h"
#include "platform/VbError.h"

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    cadhost::dxf::DxfReadLimits limits;
    limits.primitives = 200'000;
    limits.points = 2'000'000;
    try {
        const auto drawing = cadhost::dxf::DxfReader::readBytes(
            QByteArray(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size)),
            QStringLiteral("fuzz.dxf"), limits);
        (void)drawing->entities().size();
    } catch (const platform::AutomationError&) {
        // A damaged or oversized file is refused: that is an answer, not a fault.
    }
    return 0;
}
