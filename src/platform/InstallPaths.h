#pragma once
// Where the suite's shared data and the per-user settings live. Both the motion editor and the
// behaviour programmer find their robot profiles here.
//
// Data folder: $TESSABAN_HOME when set; else, for a program run from its build tree, the source
// tree's data/ folder; else <prefix>/share/tessaban next to the installed binary (<prefix>/bin).
// The robot folder is "Robot files" inside it.

#include <string>

namespace platform {

// The running program's own path ("/proc/self/exe" resolved); empty if unknown.
std::string executablePath();

// The data folder and the "Robot files" folder inside it (no trailing slash).
std::string dataFolder();
std::string robotFolder();
// robotFolder() + "/" + fileName.
std::string robotFilePath(const std::string& fileName);

// The rule behind dataFolder(), with its inputs made explicit: home is $TESSABAN_HOME (empty
// when unset), exePath the program's path. A program counts as run from a build tree when a
// folder above it holds the CMakeCache.txt of a configured source tree that has a data/ folder.
std::string resolveDataFolder(const std::string& home, const std::string& exePath);

// The user guide's folder (holding index.md): the source tree's docs/guide for a program run
// from its build tree, else <prefix>/share/doc/tessaban/guide. TESSABAN_HOME does not move it:
// it names where the robot data is, not the documentation.
std::string guideFolder();
std::string resolveGuideFolder(const std::string& exePath);

// $XDG_CONFIG_HOME, or ~/.config when unset or not absolute.
std::string configHome();
// The per-user settings file shared by the editor and the programmer (each under its own
// application title inside it): <config home>/Quorvel/Tessaban.conf.
std::string settingsFile();

} // namespace platform
