// libFuzzer entry for the automation socket's framing and decoding: any byte stream a
// client sends must give whole requests or a broken stream, never a crash or a hang.
#include "automation/AutomationWire.h"

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // The first byte decides how the stream is cut, as the socket may cut it.
    const std::size_t piece = size > 0 ? 1 + data[0] % 64 : 1;
    acadwire::FrameReader reader;
    for (std::size_t at = size > 0 ? 1 : 0; at < size; at += piece) {
        reader.append(reinterpret_cast<const char*>(data) + at,
                      static_cast<qsizetype>(std::min(piece, size - at)));
        while (auto payload = reader.next()) {
            (void)acadwire::decodeRequest(*payload);
            (void)acadwire::decodeReply(*payload);
        }
    }
    return 0;
}
