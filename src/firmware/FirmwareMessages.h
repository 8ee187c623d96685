#pragma once
// The fixed texts the maintenance dialogs show when a firmware or motion file is refused, keyed
// by their string numbers.

#include <string_view>

namespace firmware {

inline constexpr std::string_view kMsgNotProperFirmware = "It is not proper Tessaban program file."; // 10014
inline constexpr std::string_view kMsgNotMotionData = "This file is not a Motion Data!";             // 10021
inline constexpr std::string_view kMsgMotionFileReadFailed =
    "Failed to read Motion Data of robot from a file!";                                              // 10022
inline constexpr std::string_view kMsgNotProperServoProgram = "This is not a proper program of VQ!"; // 10026

} // namespace firmware
