// tessaban firmware update | recover: new controller firmware from an Intel hex file, through a
// controller that still answers or through its boot loader at power-on.

#include "cli/CliCommand.h"
#include "cli/ControllerSession.h"
#include "link/ControllerLink.h"
#include "link/Maintenance.h"

#include <cstdio>
#include <cstdlib>

namespace {

using namespace cli;

const char* const kUpdateHelp =
    "Usage: tessaban firmware update [--port COMn] [--verify] FILE.hex\n"
    "\n"
    "Reads and checks FILE.hex first (every record whole, an end record, its data inside the\n"
    "firmware area 0x0000-0x9FFF), then shows the controller's firmware version, sends the\n"
    "firmware to address 0 through the boot loader (with retries) and shows the version the\n"
    "controller reports afterwards. Nobody needs to be at the robot.\n"
    "  --verify         then read the written range back (press the controller's START button\n"
    "                   when asked) and compare it with the file\n"
    "  --no-verify      no read-back (the default; kept for scripts)\n"
    "Exit status: 0 updated (checked with --verify), 1 the controller or the transfer failed or\n"
    "the read-back differs from the file, 2 usage or no port, 3 the file was refused (nothing\n"
    "was sent), 4 updated but not checked: the read-back asked for with --verify never came.\n";

const char* const kRecoverHelp =
    "Usage: tessaban firmware recover [--port COMn] [--wait SECONDS] [--verify] FILE.hex\n"
    "\n"
    "For a controller whose firmware no longer runs: switch it off and connect it, run this, then\n"
    "switch it on. The boot loader is caught at power-on and the firmware is installed. The file\n"
    "is read and checked before the port is opened.\n"
    "  --wait SECONDS   how long to wait for the controller to be switched on (default 60)\n"
    "  --verify         then read the written range back (press START when asked) and compare\n"
    "  --no-verify      no read-back (the default; kept for scripts)\n"
    "Exit status: 0 recovered, 1 the port, the capture or the transfer failed or the read-back\n"
    "differs, 2 usage or no port, 3 the file was refused (nothing was sent), 4 recovered but\n"
    "not checked: the read-back asked for with --verify never came, 130 Ctrl-C while waiting.\n";

// A read-back that was asked for and never came has a status of its own: the firmware is in,
// but nobody saw it checked.
int statusOf(const comm::MaintenanceResult& result, bool verify)
{
    const int status = reportResult(result);
    return status == kExitOk && verify && result.unchecked ? kExitUnchecked : status;
}

int updateCommand(const std::vector<std::string>& args)
{
    ParsedArgs parsed;
    ControllerOptions options;
    if (int status =
            parseControllerArgs(args, kUpdateHelp, {}, {"--verify", "--no-verify"}, 1, parsed, options);
        status >= 0)
        return status;
    const bool verify = parsed.has("--verify");
    // The file first: a bad file is refused without touching the controller.
    comm::PreparedImage firmware;
    if (auto refused = comm::Maintenance::prepareFirmware(parsed.positional[0], firmware); !refused.ok)
        return reportResult(refused);
    MaintenanceSession session(options);
    if (!session.connect())
        return kExitFailed;
    std::printf("Firmware version: %s\n", session.link.firmwareVersionText().c_str());
    std::fflush(stdout);
    comm::MaintenanceResult result = session.runWithProgress(
        "Update", [&](comm::Maintenance& jobs) { return jobs.updateFirmware(firmware, verify); });
    if (result.ok)
        std::printf("Firmware version: %s\n", session.link.firmwareVersion());
    session.link.disconnect();
    return statusOf(result, verify);
}

int recoverCommand(const std::vector<std::string>& args)
{
    ParsedArgs parsed;
    ControllerOptions options;
    if (int status = parseControllerArgs(args, kRecoverHelp, {"--wait"}, {"--verify", "--no-verify"}, 1,
                                         parsed, options);
        status >= 0)
        return status;
    const bool verify = parsed.has("--verify");
    int seconds = 60;
    if (parsed.has("--wait")) {
        std::string text = parsed.value("--wait");
        char* end = nullptr;
        long n = std::strtol(text.c_str(), &end, 10);
        if (end == text.c_str() || *end || n < 0 || n > 86400) {
            std::fprintf(stderr, "tessaban: --wait needs a number of seconds\n");
            return kExitUsage;
        }
        seconds = static_cast<int>(n);
    }

    comm::PreparedImage firmware;
    if (auto refused = comm::Maintenance::prepareFirmware(parsed.positional[0], firmware); !refused.ok)
        return reportResult(refused);
    MaintenanceSession session(options);
    // Armed before Ctrl-C is caught, so a cancel at any moment from here on is kept.
    session.link.armBootLoaderWait();
    Interrupt interrupt(&session.link);
    // The bar appears once the firmware goes out; the wait before that has its own text.
    session.host.showProgressOnNotice(session.link, comm::kMsgInstalling, "Install");
    std::printf("Port: %s\n", portDescription(options).c_str());
    std::fflush(stdout);
    comm::MaintenanceResult result = session.jobs.recoverFirmware(options.port, firmware, seconds, verify);
    session.host.endProgress();
    if (result.ok) {
        std::printf("Firmware version: %s\n", session.link.firmwareVersion());
        printMessage(result.message, {}, false);
        result.message = comm::kMsgRecovered;
    }
    // A recovered controller is in its menu; one that was not is left as it is.
    session.link.closePort();
    return statusOf(result, verify);
}

CliCommand update("firmware", "update", "send new firmware (.hex) to a controller that answers",
                  updateCommand);
CliCommand recover("firmware", "recover", "install firmware (.hex) through the boot loader at power-on",
                   recoverCommand);

} // namespace
