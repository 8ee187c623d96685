#pragma once
// The servo firmware container (.rom): a header of seven little-endian 16-bit words
// (1, 48, 5, 112, 9, target kind, 1) followed by one word per byte of Intel hex text; text
// byte i is the low byte of payload word i XOR (i mod 256). The text is unpacked in memory and
// handed to HexImageLoader::loadText, so no temporary file is ever written next to the user's.

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace firmware {

enum class RomError {
    None,
    CannotOpen, // the file could not be opened
    ReadFailed, // reading failed
    TooShort,   // fewer than 14 bytes: no complete header
    TooLong,    // more than 65,535 payload words
    BadHeader,  // a header word differs, or the target kind is neither 2 nor 18
};

// Target kinds: which bus IDs the controller passes the image on to.
inline constexpr int kRomTargetServos = 2;   // IDs 0..30
inline constexpr int kRomTargetModules = 18; // IDs 100..109

inline constexpr std::size_t kRomHeaderBytes = 14;
inline constexpr std::size_t kRomMaxPayloadWords = 65535;
// The largest valid file: the header, the words, and one odd trailing byte that is ignored.
inline constexpr std::size_t kRomMaxFileBytes = kRomHeaderBytes + 2 * kRomMaxPayloadWords + 1;

struct RomContents {
    int targetKind = 0;  // kRomTargetServos or kRomTargetModules
    std::string hexText; // the descrambled Intel hex text, byte for byte
};

// Checks the header and descrambles the payload. On failure `out` is left unchanged.
bool unpackRom(std::span<const std::uint8_t> bytes, RomContents& out, RomError* error = nullptr);
// Reads the file at path (bounded by kRomMaxFileBytes) and unpacks it.
bool unpackRom(const std::string& path, RomContents& out, RomError* error = nullptr);

// The console command that hands the image at 0xC000 on to the bus ("update 0 30\r",
// "update 100 109\r"); empty for an unknown kind.
std::string_view romUpdateCommand(int targetKind);

std::string romErrorText(RomError error);

} // namespace firmware
