#pragma once
// The controller's memory as the boot loader addresses it, one area per kind of image, and the
// rule that keeps every image inside its own area. An image sent through the boot loader is
// the bytes to store followed by one checksum byte, which is not stored; an image whose bytes
// reach past its area would overwrite the next one (firmware over the behaviour program, a
// servo image over the motion pages), so it is refused before anything is sent.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace firmware {

struct MemoryArea {
    std::string_view name;
    std::uint32_t start;
    std::uint32_t size;
    std::uint32_t last() const { return start + size - 1; }
};

inline constexpr MemoryArea kFirmwareArea{"firmware", 0x0000, 0xA000};
inline constexpr MemoryArea kProgramArea{"behaviour program", 0xA000, 0x2000};
inline constexpr MemoryArea kServoArea{"servo image", 0xC000, 0x2000};
inline constexpr MemoryArea kMotionArea{"motion data", 0xE000, 0x10000};

// Whether an image of `length` bytes (the bytes to store and the checksum) fits `area`; when it
// does not, `why` says so in words. An image must store at least one byte.
bool imageFitsArea(const MemoryArea& area, std::size_t length, std::string* why = nullptr);

// For an image from HexImageLoader (data up to E, the fill byte at E, the checksum at E + 1):
// the fill byte is sent only when it lands inside the area. When the data fills the area to
// its last byte, the fill byte would land on the next area, so it is dropped and the checksum
// recomputed over the data alone (length becomes E + 1). Data reaching past the area is
// refused. On refusal image and length are unchanged.
bool fitHexImageToArea(const MemoryArea& area, std::vector<std::uint8_t>& image, std::size_t& length,
                       std::string* why = nullptr);

} // namespace firmware
