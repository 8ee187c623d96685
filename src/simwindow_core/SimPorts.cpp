#include "simwindow_core/SimPorts.h"

#include "platform/PortMap.h"

#include <sys/stat.h>

namespace simwindow {

bool comPortFree(const std::string& folder, int number)
{
    const std::string path = folder + "/COM" + std::to_string(number);
    struct stat entry {};
    if (::lstat(path.c_str(), &entry) != 0)
        return true;
    // A link that leads nowhere any more names no device; anything else stands for one.
    struct stat device {};
    return S_ISLNK(entry.st_mode) && ::stat(path.c_str(), &device) != 0;
}

int chooseComPort(const std::string& folder, int given, int remembered)
{
    if (given >= 1 && given <= platform::kMaxComPort)
        return given;
    if (remembered >= 1 && remembered <= platform::kMaxComPort && comPortFree(folder, remembered))
        return remembered;
    for (int n = kFirstSimulatorPort; n <= platform::kMaxComPort; ++n)
        if (comPortFree(folder, n))
            return n;
    return 0;
}

} // namespace simwindow

namespace simwindow {

std::string defaultMemoryFile(const char* xdgDataHome, const char* home)
{
    std::string base;
    if (xdgDataHome && xdgDataHome[0] == '/')
        base = xdgDataHome;
    else
        base = std::string(home && home[0] ? home : "/tmp") + "/.local/share";
    return base + "/Quorvel/Tessaban/kz7sim.mem";
}

} // namespace simwindow
