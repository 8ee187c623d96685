#pragma once
// Builds the controller's screen painting for tests: a positioned field.

#include <string>

namespace motiontest {

inline std::string field(int row, int col, const std::string& value = {})
{
    return std::string("\x02\x1b[") + std::to_string(row) + ";" + std::to_string(col) + "f" + value;
}

} // namespace motiontest
