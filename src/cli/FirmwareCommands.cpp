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
    "Reads and checks FILE.hex first (every record whole, its data inside the firmware area\n"
    "0x0000-0x9FFF), then shows the controller's firmware version, sends the firmware to\n"
    "address 0 through the boot loader (with retries) and shows the version the controller\n"
    "reports afterwards. The written range is then read back (press the controller's START\n"
    "button when asked) and compared.\n"
    "  --no-verify      skip the read-back check\n"
    "Exit status: 0 updated, 1 the controller or the transfer failed, 2 usage or no port,\n"
    "3 the file was refused (nothing was sent).\n";

const char* const kRecoverHelp =
    "Usage: tessaban firmware recover [--port COMn] [--wait SECONDS] [--no-verify] FILE.hex\n"
    "\n"
    "For a controller whose firmware no longer runs: switch it off and connect it, run this, then\n"
    "switch it on. The boot loader is caught at power-on and the firmware is installed. The file\n"
    "is read and checked before the port is opened.\n"
    "  --wait SECONDS   how long to wait for the controller to be switched on (default 60)\n"
    "  --no-verify      skip reading the written range back (START) and comparing it\n"
    "Exit status: 0 recovered, 1 the port, the capture or the transfer failed, 2 usage or no\n"
    "port, 3 the file was refused (nothing was sent), 130 Ctrl-C while waiting.\n";

int updateCommand(const std::vector<std::string>& args)
{
    ParsedArgs parsed;
    ControllerOptions options;
    if (int status = parseControllerArgs(args, kUpdateHelp, {}, {"--no-verify"}, 1, parsed, options); status >= 0)
        return status;
    // The file first: a bad file is refused without touching the controller.
    comm::PreparedImage firmware;
    if (auto refused = comm::Maintenance::prepareFirmware(parsed.positional[0], firmware); !refused.ok)
        return reportResult(refused);
    MaintenanceSession session(options);
    if (!session.connect())
        return kExitFailed;
    std::printf("Firmware version: %s\n", session.link.firmwareVersionText().c_str());
    std::fflush(stdout);
    comm::MaintenanceResult result = session.runWithProgress("Update", [&](comm::Maintenance& jobs) {
        return jobs.updateFirmware(firmware, !parsed.has("--no-verify"));
    });
    if (result.ok)
        std::printf("Firmware version: %s\n", session.link.firmwareVersion());
    session.link.disconnect();
    return reportResult(result);
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
    comm::MaintenanceResult result = session.jobs.recoverFirmware(options.port, firmware, seconds, !parsed.has("--no-verify"));
    session.host.endProgress();
    if (result.ok) {
        std::printf("Firmware version: %s\n", session.link.firmwareVersion());
        printMessage(comm::kMsgInstalled, {}, false);
        result.message = comm::kMsgRecovered;
    }
    // A recovered controller is in its menu; one that was not is left as it is.
    session.link.closePort();
    return reportResult(result);
}

CliCommand update("firmware", "update", "send new firmware (.hex) to a controller that answers",
                  updateCommand);
CliCommand recover("firmware", "recover", "install firmware (.hex) through the boot loader at power-on",
                   recoverCommand);

} // namespace
