#pragma once
// Builds the controller's screen painting for tests: positioned fields and plain text.

#include <cstdint>
#include <string>
#include <vector>

namespace motiontest {

inline std::string field(int row, int col, const std::string& value = {})
{
    return std::string("\x02\x1b[") + std::to_string(row) + ";" + std::to_string(col) + "f" + value;
}

inline std::vector<uint8_t> bytes(const std::string& s)
{
    return {s.begin(), s.end()};
}

} // namespace motiontest
