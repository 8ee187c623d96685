// Arbitrary text through the Intel hex loader: it must accept or refuse without touching memory
// outside its image, and an accepted image must keep its layout (length, fill, checksum). The
// firmware files' loader, which also wants an end record, may only ever refuse more.

#include "firmware/HexImageLoader.h"

#include <cstdlib>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static firmware::HexImageLoader loader;
    static firmware::HexImageLoader firmwareLoader = [] {
        firmware::HexImageLoader strict;
        strict.requireEndRecord(true);
        return strict;
    }();
    static std::vector<std::uint8_t> buffer, firmwareBuffer;
    std::size_t start = 0, length = 0, firmwareStart = 0, firmwareLength = 0;
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const bool accepted = loader.loadText(text, buffer, start, length);
    const bool firmwareAccepted =
        firmwareLoader.loadText(text, firmwareBuffer, firmwareStart, firmwareLength);
    if (firmwareAccepted && (!accepted || firmwareLength != length))
        std::abort();
    if (!firmwareAccepted && firmwareLoader.error() == firmware::HexError::NoEndRecord && !accepted)
        std::abort();
    if (accepted) {
        if (start != 0 || length < 2 || length > firmware::HexImageLoader::kBufferSize ||
            buffer.size() != firmware::HexImageLoader::kBufferSize ||
            buffer[length - 1] != firmware::imageChecksum(buffer.data(), length - 1))
            std::abort();
    } else if (loader.errorText().empty()) {
        std::abort();
    }
    return 0;
}
