// Arbitrary text through the Intel hex loader: it must accept or refuse without touching memory
// outside its image, and an accepted image must keep its layout (length, fill, checksum).

#include "firmware/HexImageLoader.h"

#include <cstdlib>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static firmware::HexImageLoader loader;
    static std::vector<std::uint8_t> buffer;
    std::size_t start = 0, length = 0;
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    if (loader.loadText(text, buffer, start, length)) {
        if (start != 0 || length < 2 || length > firmware::HexImageLoader::kBufferSize ||
            buffer.size() != firmware::HexImageLoader::kBufferSize ||
            buffer[length - 1] != firmware::imageChecksum(buffer.data(), length - 1))
            std::abort();
    } else if (loader.errorText().empty()) {
        std::abort();
    }
    return 0;
}
