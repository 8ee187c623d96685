// Random bytes through the .x model check: never a crash, and an accepted file is text whose
// every count inside a mesh fits the file's size.

#include "robotview/XFileBounds.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    const robotview::XFileBounds r = robotview::checkXFileBounds(bytes);
    if (r.ok == !r.why.empty())
        std::abort();
    if (r.ok && (size < 16 || bytes.substr(8, 4) != "txt "))
        std::abort();
    return 0;
}
