#include "sim/SimOptions.h"

#include "platform/PortMap.h"

#include <cerrno>
#include <cstdlib>

namespace sim {

const char kSimUsage[] =
    "Usage: kz7sim [OPTIONS]\n"
    "A software KZ-7 controller on a pseudo-terminal. Prints the device path as its first line.\n\n"
    "  --com N            link the device as COMN in the port folder (removed on exit), with\n"
    "                     the debugger's socket COMN.debug beside it\n"
    "  --memory FILE      keep the controller's memory in FILE across runs\n"
    "  --control FIFO     read control commands from FIFO, one per line (created if missing)\n"
    "  --pace BAUD        deliver bytes no sooner than a real line at BAUD would\n"
    "  --power on|off     start switched on (in the menu, default) or off\n"
    "  --mode MODE        start in menu, console, screen, running or bootloader\n"
    "  --profile FILE     take the joints from a robot profile (.rbt)\n"
    "  --joints LIST      joints present on the bus, e.g. 1-18 (default without a profile)\n"
    "  --unknown LIST     joints present that do not report their position, e.g. 7\n"
    "  --sensors LIST     sensor modules on the bus, e.g. 100-102\n"
    "  --blank-firmware   start with the firmware erased (only the boot loader answers)\n"
    "  --exit-with-stdout end when the reader of standard output (a pipe) goes away\n"
    "  --version          print the version and end\n";

namespace {

bool parseLong(const std::string& text, long low, long high, long& value)
{
    char* end = nullptr;
    errno = 0;
    long v = std::strtol(text.c_str(), &end, 10);
    if (text.empty() || *end != '\0' || errno != 0 || v < low || v > high)
        return false;
    value = v;
    return true;
}

} // namespace

ParsedOptions parseSimOptions(const std::vector<std::string>& args)
{
    ParsedOptions parsed;
    SimOptions& options = parsed.options;
    auto fail = [&](std::string why) {
        parsed.outcome = ParsedOptions::Outcome::Error;
        parsed.error = std::move(why);
        return parsed;
    };
    for (size_t i = 0; i < args.size(); ++i) {
        std::string name = args[i];
        std::string value;
        bool hasValue = false;
        if (auto eq = name.find('='); name.rfind("--", 0) == 0 && eq != std::string::npos) {
            value = name.substr(eq + 1);
            name = name.substr(0, eq);
            hasValue = true;
        }
        auto need = [&]() {
            if (hasValue)
                return true;
            if (i + 1 >= args.size())
                return false;
            value = args[++i];
            return true;
        };
        long number = 0;
        if (name == "--help" || name == "-h") {
            parsed.outcome = ParsedOptions::Outcome::Help;
            return parsed;
        } else if (name == "--version") {
            parsed.outcome = ParsedOptions::Outcome::Version;
            return parsed;
        } else if (name == "--blank-firmware") {
            options.blankFirmware = true;
        } else if (name == "--exit-with-stdout") {
            options.watchStdout = true;
        } else if (name == "--com") {
            if (!need() || !parseLong(value, 1, platform::kMaxComPort, number))
                return fail("--com needs a port number 1..256");
            options.com = static_cast<int>(number);
        } else if (name == "--pace") {
            if (!need() || !parseLong(value, 50, 4000000, number))
                return fail("--pace needs a baud rate 50..4000000");
            options.pace = number;
        } else if (name == "--power") {
            if (!need() || (value != "on" && value != "off"))
                return fail("--power takes on or off");
            options.powerOn = value == "on";
        } else if (name == "--mode") {
            auto mode = need() ? modeFromName(value) : std::nullopt;
            if (!mode)
                return fail("--mode takes menu, console, screen, running or bootloader");
            options.mode = *mode;
        } else if (name == "--memory" || name == "--control" || name == "--profile" || name == "--joints" ||
                   name == "--unknown" || name == "--sensors") {
            if (!need() || value.empty())
                return fail(name + " needs a value");
            std::string& target = name == "--memory"    ? options.memoryFile
                                  : name == "--control" ? options.controlFifo
                                  : name == "--profile" ? options.profile
                                  : name == "--joints"  ? options.joints
                                  : name == "--unknown" ? options.unknown
                                                        : options.sensors;
            target = value;
        } else {
            return fail("unknown option " + name);
        }
    }
    return parsed;
}

} // namespace sim
