// tessaban ports: every COM name the suite can see, the device behind it and what it is, found
// without opening anything (an open would disturb a port another program uses).

#include "cli/CliCommand.h"
#include "platform/PortMap.h"

#include <cerrno>
#include <cstdio>
#include <grp.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// What can be told about the device without opening it. Permission is the one refusal the
// system tells beforehand, and the usual one on a fresh desktop: say how to mend it.
std::string deviceState(const platform::PortEntry& entry)
{
    if (!entry.exists)
        return "missing";
    if (::access(entry.device.c_str(), R_OK | W_OK) != 0 && errno == EACCES) {
        struct stat st {};
        const group* owner = ::stat(entry.device.c_str(), &st) == 0 ? ::getgrgid(st.st_gid) : nullptr;
        if (owner && owner->gr_name)
            return std::string("no permission (join the group '") + owner->gr_name + "', then log in again)";
        return "no permission";
    }
    return "present";
}

int portsCommand(const std::vector<std::string>& args)
{
    cli::ParsedArgs parsed = cli::parseArgs(args, {}, {"--help", "-h"});
    if (!parsed.error.empty() || !parsed.positional.empty()) {
        std::fprintf(stderr, "tessaban ports: %s\nUsage: tessaban ports\n",
                     parsed.error.empty() ? "takes no arguments" : parsed.error.c_str());
        return 2;
    }
    if (parsed.has("--help") || parsed.has("-h")) {
        std::printf("Usage: tessaban ports\n"
                    "Lists COM1..COM256 where a link in the port folder or a default device stands\n"
                    "behind the name, with the device, whether it is present and what it is (the\n"
                    "text of COMn.label in the port folder, or a USB adapter's product name and\n"
                    "serial number). No device is opened, so a port in use by another program is\n"
                    "left exactly as it is; whether it is busy shows when you connect to it.\n"
                    "The port folder is $TESSABAN_PORTS when that is set, else\n"
                    "$XDG_CONFIG_HOME/Quorvel/Tessaban/ports (~/.config/Quorvel/Tessaban/ports);\n"
                    "now: %s\n"
                    "Link a name to a device with: ln -s DEVICE \"PORT_FOLDER/COMn\".\n"
                    "Names without a link fall back to /dev/ttyS(n-1) and, from COM33 on, the USB\n"
                    "adapters. Exit status: 0 listed, 2 usage.\n",
                    platform::portFolder().c_str());
        return 0;
    }
    std::printf("Port folder: %s\n", platform::portFolder().c_str());
    auto entries = platform::portMap();
    if (entries.empty()) {
        std::printf("No COM ports: no links in the port folder and no serial devices found.\n");
        return 0;
    }
    for (const auto& entry : entries) {
        std::string line = entry.name;
        line.resize(8, ' ');
        line += entry.device + "  " + (entry.linked ? "linked" : "default") + "  " + deviceState(entry);
        if (!entry.description.empty())
            line += "  " + entry.description;
        std::printf("%s\n", line.c_str());
    }
    return 0;
}

const cli::CliCommand kPorts("ports", "", "list the COM ports with their devices and what stands behind them",
                             portsCommand);

} // namespace
