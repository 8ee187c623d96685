// Arbitrary bytes as a .rom container, and the unpacked text on through the hex loader, the way
// the servo update uses them.

#include "firmware/HexImageLoader.h"
#include "firmware/RomContainer.h"

#include <cstdlib>
#include <span>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    firmware::RomContents rom;
    firmware::RomError error = firmware::RomError::None;
    if (!firmware::unpackRom(std::span<const std::uint8_t>(data, size), rom, &error)) {
        if (error == firmware::RomError::None)
            std::abort();
        return 0;
    }
    if (rom.hexText.size() != size / 2 - 7 || firmware::romUpdateCommand(rom.targetKind).empty())
        std::abort();
    static firmware::HexImageLoader loader;
    static std::vector<std::uint8_t> buffer;
    std::size_t start = 0, length = 0;
    loader.loadText(rom.hexText, buffer, start, length);
    return 0;
}
