#pragma once
// Strict hexadecimal digit decoding shared by the firmware parsers: no signs, no "0x", no
// white space, so a damaged record is refused instead of being read as some other number.

#include <array>
#include <cstddef>
#include <cstdint>

namespace firmware::hex {

inline constexpr std::array<std::int8_t, 256> kDigitValue = [] {
    std::array<std::int8_t, 256> table{};
    table.fill(-1);
    for (int i = 0; i < 10; ++i)
        table['0' + i] = static_cast<std::int8_t>(i);
    for (int i = 0; i < 6; ++i) {
        table['a' + i] = static_cast<std::int8_t>(10 + i);
        table['A' + i] = static_cast<std::int8_t>(10 + i);
    }
    return table;
}();

// Reads `digits` hex digits from p into value; false if any of them is not a hex digit.
inline bool readHex(const char* p, std::size_t digits, std::uint32_t& value)
{
    std::uint32_t v = 0;
    for (std::size_t i = 0; i < digits; ++i) {
        const std::int8_t d = kDigitValue[static_cast<unsigned char>(p[i])];
        if (d < 0)
            return false;
        v = (v << 4) | static_cast<std::uint32_t>(d);
    }
    value = v;
    return true;
}

} // namespace firmware::hex
