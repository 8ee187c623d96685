// tessaban ports: every COM name the suite can see, the device behind it and whether it opens.

#include "cli/CliCommand.h"
#include "platform/PortMap.h"
#include "platform/SerialDevice.h"

#include <cerrno>
#include <cstdio>
#include <string>

namespace {

// What an exclusive open says about the device right now.
std::string probeDevice(const platform::PortEntry& entry)
{
    if (!entry.exists)
        return "missing";
    platform::SerialDevice device;
    if (device.open(entry.device, 57600))
        return "opens";
    int err = device.lastError();
    if (err == EBUSY || err == EWOULDBLOCK)
        return "busy (another program has it open)";
    return "fails: " + device.lastErrorText();
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
                    "behind the name, with the device and whether it opens for exclusive use now.\n"
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
    for (const auto& entry : entries)
        std::printf("%-7s %-28s %-8s %s\n", entry.name.c_str(), entry.device.c_str(),
                    entry.linked ? "linked" : "default", probeDevice(entry).c_str());
    return 0;
}

const cli::CliCommand kPorts("ports", "", "list the COM ports with their devices and whether they open",
                             portsCommand);

} // namespace
