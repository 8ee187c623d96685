#pragma once
// The string numbers of the messages a refused motion file is reported with; their texts are in
// Taskloom's text table.

namespace firmware {

inline constexpr int kMsgNotMotionData = 10021;
inline constexpr int kMsgMotionFileReadFailed = 10022;

} // namespace firmware
