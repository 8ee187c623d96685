// The code page conversions: any bytes survive the way to UTF-8 and back unchanged, and any
// input to the encoder is either refused or encoded without a crash.
#include "behaviour/CodePage.h"

#include <cstdint>
#include <cstdlib>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string_view in(reinterpret_cast<const char*>(data), size);
    const auto back = behaviour::utf8ToCodePage(behaviour::codePageToUtf8(in));
    if (!back.bytes || *back.bytes != in)
        std::abort();
    const auto r = behaviour::utf8ToCodePage(in);
    if (r.bytes.has_value() == !r.refused.empty())
        std::abort();
    return 0;
}
