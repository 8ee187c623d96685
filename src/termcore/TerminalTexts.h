#pragma once
// The terminal's fixed texts and the status-bar lines built from them. Status texts are cut to
// the 200 characters the status bar holds.

#include <cstdint>
#include <string>

namespace termcore::texts {

inline constexpr const char* kTitle = "Wirescope v1.07";
inline constexpr const char* kErrorCaption = "Error";
inline constexpr const char* kOverwriteCaption = "Overwrite";

inline constexpr const char* kScreenFailed = "Fail to initialize terminal screen!";
inline constexpr const char* kCannotOpenPort = "Can not open %s, %d bps!";
inline constexpr const char* kCannotFindFile = "Can not find the selected file!";
inline constexpr const char* kHexFailed = "Error in converting hex file! #%d";
inline constexpr const char* kAreYouSure = "Are you sure?";
inline constexpr const char* kCannotMakeFile = "Can not make the received file!";
inline constexpr const char* kIncorrectPath = "It is incorrect file path!";
// Not among the original texts: a capture whose file stops accepting data.
inline constexpr const char* kCaptureWriteFailed = "Can not write the received file!";
// Not among the original texts: a file that could not be read to its end while being sent.
inline constexpr const char* kCannotReadFile = "Can not read the selected file!";

// Not among the original texts: the log file beside the screen.
inline constexpr const char* kCannotMakeLog = "Can not make the log file!";
inline constexpr const char* kLogWriteFailed = "Can not write the log file!";

inline constexpr const char* kNoRecentFile = "No recent file";
inline constexpr const char* kLatestFile = "Latest file => ";
inline constexpr const char* kDisconnected = "Disconnect";
inline constexpr const char* kEmptyPath = "Empty path";

inline constexpr size_t kStatusCapacity = 200;

std::string cannotOpenPort(const std::string& port, int baudRate);
std::string hexFailed(int code);
// Not among the original texts: a file the port stopped taking part-way.
std::string transmitFailed(uint64_t sent, uint64_t total);
// The find bar's count: "1 match", "3 matches".
std::string matchCount(size_t count);

// "TX data... %d/%dbyte %d%% (Cancel to press ESC)"; 0% while the total is not known yet
// (a hex file being converted) or is 0.
std::string transmitStatus(uint64_t sent, uint64_t total);
std::string receiveStatus(uint64_t received);
std::string idleStatus(const std::string& newestLabel); // empty label: "No recent file"
std::string connectionStatus(bool open, const std::string& port, int baudRate);
// Beside the file status: the device behind the open port, or the one that went away and is
// waited for; empty when neither.
std::string deviceStatus(const std::string& device);
std::string deviceGoneStatus(const std::string& port, const std::string& device);
// A rate the serial layer cannot set (typed, or given with --baud).
std::string badBaudRate(const std::string& text, int lowest, int highest);

} // namespace termcore::texts
