#pragma once
// The suite's version: one number for every program and tool, set once in the top-level
// CMakeLists.txt (project VERSION) and carried by the package.

#include <string>

namespace platform {

// "MAJOR.MINOR.PATCH".
const char* suiteVersion();

// The answer to --version: "<program> (Tessaban) <version>\n".
std::string versionText(const std::string& program);

} // namespace platform
