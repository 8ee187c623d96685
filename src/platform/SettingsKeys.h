#pragma once
// Where the suite keeps its per-user settings, by name: the store's organisation and application,
// each program's group (its title) and the keys inside. The programs and the command line all read
// the same file, so a name is written here once. Plain characters, so that a part without Qt
// Widgets (the command line) reads the same names as the windows.

#include <string>

namespace platform::settings {

// The store: QSettings(Organisation, Application), the file <config home>/Quorvel/Tessaban.conf.
inline constexpr const char* Organisation = "Quorvel";
inline constexpr const char* Application = "Tessaban";

// Each program's group is its application title.
inline constexpr const char* TaskloomGroup = "Taskloom (Tessaban)";
inline constexpr const char* PosewrightGroup = "Posewright(Tessaban)";
inline constexpr const char* SimulatorGroup = "KZ-7 Simulator";

// Sections inside a group.
inline constexpr const char* SettingsSection = "Settings";
inline constexpr const char* PathSection = "Path";
inline constexpr const char* ViewSection = "View";
inline constexpr const char* RecentFileSection = "Recent File List";

// Keys of the "Settings" section (Taskloom and Posewright share these spellings).
inline constexpr const char* ComPortKey = "Com Port";
inline constexpr const char* RobotProfileKey = "Robot Profile";
inline constexpr const char* WindowWidthKey = "Window width";
inline constexpr const char* WindowHeightKey = "Window height";
inline constexpr const char* WindowXKey = "Window pos_x";
inline constexpr const char* WindowYKey = "Window pos_y";
inline constexpr const char* CheckFirmwareKey = "Check Firmware";
// The simulator window spells its port key with capitals; stored files keep that spelling.
inline constexpr const char* SimulatorComPortKey = "COM Port";

// Keys of the "Path" section, "View" section and the recent-file list ("File1".."File4").
inline constexpr const char* DocumentKey = "Document";
inline constexpr const char* MotionDocKey = "MotionDoc";
inline constexpr const char* FirmwareKey = "Firmware";
inline constexpr const char* ZoomKey = "Zoom";
inline constexpr const char* RecentFileKeyPrefix = "File";

// "group/section" and "group/section/key", as QSettings names them.
inline std::string path(const char* group, const char* section)
{
    return std::string(group) + "/" + section;
}
inline std::string path(const char* group, const char* section, const char* key)
{
    return path(group, section) + "/" + key;
}

} // namespace platform::settings
