// tessaban controller probe | mode: what the controller is doing, and driving it into a mode.

#include "cli/CliCommand.h"
#include "cli/ControllerSession.h"
#include "link/ControllerLink.h"

#include <cstdio>

namespace {

using namespace cli;
using comm::ControllerLink;
using comm::ControllerMode;

const char* const kProbeHelp =
    "Usage: tessaban controller probe [--port COMn] [--mode-only]\n"
    "\n"
    "Tells the mode the controller is in and its highlighted menu entry, then brings it to its\n"
    "menu, reads the firmware version from the console banner and the boot-loader version from\n"
    "the boot loader, and leaves it in its menu. A controller that does not answer at all is\n"
    "told as \"no answer\" (a playing program does not answer; neither does one that is\n"
    "switched off or not connected).\n"
    "  --mode-only   only tell the mode; send nothing else\n"
    "Exit status: 0 told, 1 no answer or the controller failed, 2 usage or no port.\n";

const char* const kModeHelp =
    "Usage: tessaban controller mode [--port COMn] MENU|CONSOLE|RUNNING|BOOTLOADER\n"
    "\n"
    "Drives the controller into the mode and leaves it there (RUNNING plays the stored program).\n"
    "Exit status: 0 in the mode, 1 the controller failed, 2 usage (an unknown mode) or no port.\n";

int probeCommand(const std::vector<std::string>& args)
{
    ParsedArgs parsed;
    ControllerOptions options;
    if (int status = parseControllerArgs(args, kProbeHelp, {}, {"--mode-only"}, 0, parsed, options);
        status >= 0)
        return status;

    ControllerLink link;
    if (!link.openPort(options.port)) {
        std::fprintf(stderr, "tessaban: %s: %s\n", options.port.c_str(), link.port().lastErrorText().c_str());
        printMessage(comm::kMsgCannotConnect);
        return kExitFailed;
    }
    std::printf("Port: %s\n", portDescription(options).c_str());
    bool told = link.probe();
    if (told && link.probeWasSilent())
        std::printf("Mode: no answer: the controller is running a program, switched off or not connected\n");
    else
        std::printf("Mode: %s\n", comm::modeName(link.mode()));
    if (link.mode() == comm::modeValue(ControllerMode::Menu))
        std::printf("Menu entry: %d\n", link.menuEntry());
    std::fflush(stdout);
    if (parsed.has("--mode-only"))
        return told && !link.probeWasSilent() ? kExitOk : kExitFailed;

    if (!connectController(link, options, false))
        return kExitFailed;
    std::string firmware = link.firmwareVersionText();
    bool bootOk = link.goTo(ControllerMode::BootLoader);
    std::printf("Firmware version: %s\n", firmware.c_str());
    std::printf("Boot-loader version: %s\n", link.bootLoaderVersion());
    link.disconnect(); // back to the menu
    if (firmware == ControllerLink::kUnknownVersion || !bootOk) {
        printMessage(comm::kMsgCannotConnect);
        return kExitFailed;
    }
    return kExitOk;
}

int modeCommand(const std::vector<std::string>& args)
{
    ParsedArgs parsed;
    ControllerOptions options;
    if (int status = parseControllerArgs(args, kModeHelp, {}, {}, 1, parsed, options); status >= 0)
        return status;
    ControllerMode target = comm::modeFromName(parsed.positional[0].c_str());
    if (target == ControllerMode::Unknown || target == ControllerMode::Screen) {
        std::fprintf(stderr, "tessaban: unknown mode '%s'\n\n%s", parsed.positional[0].c_str(), kModeHelp);
        return kExitUsage;
    }
    ControllerLink link;
    if (!connectController(link, options))
        return kExitFailed;
    if (!link.goTo(target)) {
        link.closePort();
        printMessage(comm::kMsgCannotConnect);
        return kExitFailed;
    }
    // Left where it was asked to go: only the port is closed.
    link.closePort();
    std::printf("Mode: %s\n", comm::modeName(target));
    return kExitOk;
}

CliCommand probe("controller", "probe", "tell the controller's mode, menu entry and versions", probeCommand);
CliCommand mode("controller", "mode", "drive the controller into MENU, CONSOLE, RUNNING or BOOTLOADER",
                modeCommand);

} // namespace
