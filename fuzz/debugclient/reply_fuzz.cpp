// Feeds arbitrary lines to the readers of the simulator debugger's events and state answers:
// they must never crash, and what they accept must be in range.

#include "debugclient/DebugReply.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string_view line(reinterpret_cast<const char*>(data), size);
    const debugclient::DebugEvent event = debugclient::parseEvent(line);
    if (event.kind != debugclient::DebugEvent::Kind::None && (event.offset < -1 || event.offset > 0xFFFF))
        std::abort();
    const debugclient::DebugState state = debugclient::parseState(line);
    if (state.ok) {
        if (state.offset < 0 || state.offset > 0xFFFF || state.depth < 0 || state.depth > 1000)
            std::abort();
        for (int v : state.variables)
            if (v < -32768 || v > 32767)
                std::abort();
    }
    return 0;
}
