#include "platform/InstallPaths.h"

#include "platform/SettingsKeys.h"

#include <climits>
#include <cstdlib>
#include <fstream>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

namespace platform {

namespace {

bool isDirectory(const std::string& path)
{
    struct stat st {};
    return !path.empty() && ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

std::string parentOf(const std::string& path)
{
    auto slash = path.find_last_of('/');
    if (slash == std::string::npos)
        return {};
    return slash == 0 ? std::string("/") : path.substr(0, slash);
}

std::string withoutTrailingSlash(std::string path)
{
    while (path.size() > 1 && path.back() == '/')
        path.pop_back();
    return path;
}

// The source tree a build folder was configured from, read from its CMakeCache.txt.
std::string sourceTreeOf(const std::string& buildDir)
{
    std::ifstream cache(buildDir + "/CMakeCache.txt");
    std::string line;
    const std::string key = "CMAKE_HOME_DIRECTORY:INTERNAL=";
    while (std::getline(cache, line)) {
        if (line.compare(0, key.size(), key) == 0)
            return line.substr(key.size());
    }
    return {};
}

// The source tree of the build tree the program runs from: the binary sits a few folders below
// the folder holding CMakeCache.txt. Empty for an installed program.
std::string buildSourceTree(const std::string& exePath)
{
    std::string dir = parentOf(exePath);
    for (int depth = 0; depth < 4 && !dir.empty() && dir != "/"; ++depth, dir = parentOf(dir)) {
        if (::access((dir + "/CMakeCache.txt").c_str(), R_OK) == 0)
            return sourceTreeOf(dir);
    }
    return {};
}

// <prefix> + below, where <prefix> is the folder holding the program's bin/.
std::string underPrefix(const std::string& exePath, const std::string& below)
{
    const std::string prefix = parentOf(parentOf(exePath));
    return (prefix == "/" ? std::string() : prefix) + below;
}

} // namespace

std::string executablePath()
{
    char buffer[PATH_MAX + 1];
    ssize_t n = ::readlink("/proc/self/exe", buffer, PATH_MAX);
    if (n <= 0)
        return {};
    return std::string(buffer, static_cast<size_t>(n));
}

std::string resolveDataFolder(const std::string& home, const std::string& exePath)
{
    if (!home.empty())
        return withoutTrailingSlash(home);
    const std::string source = buildSourceTree(exePath);
    if (!source.empty() && isDirectory(source + "/data"))
        return source + "/data";
    return underPrefix(exePath, "/share/tessaban");
}

std::string resolveGuideFolder(const std::string& exePath)
{
    const std::string source = buildSourceTree(exePath);
    if (!source.empty() && isDirectory(source + "/docs/guide"))
        return source + "/docs/guide";
    return underPrefix(exePath, "/share/doc/tessaban/guide");
}

std::string guideFolder()
{
    return resolveGuideFolder(executablePath());
}

std::string dataFolder()
{
    const char* home = std::getenv("TESSABAN_HOME");
    return resolveDataFolder(home ? home : "", executablePath());
}

std::string robotFolder()
{
    return dataFolder() + "/Robot files";
}

std::string robotFilePath(const std::string& fileName)
{
    return robotFolder() + "/" + fileName;
}

std::string configHome()
{
    const char* xdg = std::getenv("XDG_CONFIG_HOME");
    if (xdg && xdg[0] == '/')
        return withoutTrailingSlash(xdg);
    const char* home = std::getenv("HOME");
    if (!home || !*home) {
        if (const passwd* pw = ::getpwuid(::getuid()))
            home = pw->pw_dir;
    }
    return std::string(home ? home : "") + "/.config";
}

std::string settingsFile()
{
    return configHome() + "/" + settings::Organisation + "/" + settings::Application + ".conf";
}

} // namespace platform
