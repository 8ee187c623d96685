#pragma once
// The small parsing the controller's command lines share: the console, the boot loader, the
// motion editor and the control channel.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace sim {

// The line's words, split at white space.
std::vector<std::string> splitWords(std::string_view line);
std::string lowerCase(std::string_view text);
// 1 to 8 digits in base 10 or 16, nothing else; false leaves value alone.
bool parseUnsigned(const std::string& text, int base, uint64_t& value);
// Lines that hold nothing but the PC's probe and wake-up characters are no commands.
bool onlyProbeBytes(const std::string& line);

} // namespace sim
