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
    "Usage: tessaban firmware update [--port COMn] [--no-verify] FILE.hex\n"
    "\n"
    "Shows the controller's firmware version, sends the firmware to address 0 through the boot\n"
    "loader (with retries) and shows the version the controller reports afterwards. The written\n"
    "range is then read back (press the controller's START button when asked) and compared.\n"
    "  --no-verify      skip the read-back check\n";

const char* const kRecoverHelp =
    "Usage: tessaban firmware recover [--port COMn] [--wait SECONDS] [--no-verify] FILE.hex\n"
    "\n"
    "For a controller whose firmware no longer runs: switch it off and connect it, run this, then\n"
    "switch it on. The boot loader is caught at power-on and the firmware is installed.\n"
    "  --wait SECONDS   how long to wait for the controller to be switched on (default 60)\n"
    "  --no-verify      skip reading the written range back (START) and comparing it\n"
    "Ctrl-C while waiting cancels.\n";

int updateCommand(const std::vector<std::string>& args)
{
    ParsedArgs parsed;
    ControllerOptions options;
    if (int status = parseControllerArgs(args, kUpdateHelp, {}, {"--no-verify"}, 1, parsed, options); status >= 0)
        return status;
    MaintenanceSession session(options);
    if (!session.connect())
        return kExitFailed;
    std::printf("Firmware version: %s\n", session.link.firmwareVersionText().c_str());
    std::fflush(stdout);
    comm::MaintenanceResult result = session.runWithProgress(
        "Update", [&](comm::Maintenance& jobs) { return jobs.updateFirmware(parsed.positional[0], !parsed.has("--no-verify")); });
    if (result.ok)
        std::printf("Firmware version: %s\n", session.link.firmwareVersion());
    session.link.disconnect();
    return reportResult(result, result.message == comm::kMsgNotFirmwareFile ? kExitBadFile : kExitFailed);
}

int recoverCommand(const std::vector<std::string>& args)
{
    ParsedArgs parsed;
    ControllerOptions options;
    if (int status = parseControllerArgs(args, kRecoverHelp, {"--wait"}, {"--no-verify"}, 1, parsed, options); status >= 0)
        return status;
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

    MaintenanceSession session(options);
    // Armed before Ctrl-C is caught, so a cancel at any moment from here on is kept.
    session.link.armBootLoaderWait();
    Interrupt interrupt(&session.link);
    // The bar appears once the firmware goes out; the wait before that has its own text.
    session.host.showProgressOnNotice(session.link, comm::kMsgInstalling, "Install");
    comm::MaintenanceResult result = session.jobs.recoverFirmware(options.port, parsed.positional[0], seconds, !parsed.has("--no-verify"));
    session.host.endProgress();
    if (result.ok) {
        std::printf("Firmware version: %s\n", session.link.firmwareVersion());
        printMessage(comm::kMsgInstalled, {}, false);
        result.message = comm::kMsgRecovered;
    }
    // A recovered controller is in its menu; one that was not is left as it is.
    session.link.closePort();
    return reportResult(result, result.message == comm::kMsgNotFirmwareFile ? kExitBadFile : kExitFailed);
}

CliCommand update("firmware", "update", "send new firmware (.hex) to a controller that answers",
                  updateCommand);
CliCommand recover("firmware", "recover", "install firmware (.hex) through the boot loader at power-on",
                   recoverCommand);

} // namespace
