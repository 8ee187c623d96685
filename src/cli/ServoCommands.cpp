// tessaban servo update: servo firmware (.rom) through the controller to the bus.

#include "cli/CliCommand.h"
#include "cli/ControllerSession.h"
#include "link/ControllerLink.h"
#include "link/Maintenance.h"

#include <cstdio>

namespace {

using namespace cli;

const char* const kServoHelp =
    "Usage: tessaban servo update [--port COMn] FILE.rom\n"
    "\n"
    "Sends the servo firmware to the controller (c000), has the controller pass it on to the\n"
    "servos (IDs 0..30) or the modules (IDs 100..109) as the file says, and shows the\n"
    "controller's report.\n";

int servoUpdateCommand(const std::vector<std::string>& args)
{
    ParsedArgs parsed;
    ControllerOptions options;
    if (int status = parseControllerArgs(args, kServoHelp, {}, {}, 1, parsed, options); status >= 0)
        return status;
    MaintenanceSession session(options);
    if (!session.connect())
        return kExitFailed;
    comm::MaintenanceResult result = session.runWithProgress(
        "Download", [&](comm::Maintenance& jobs) { return jobs.updateServos(parsed.positional[0]); });
    std::printf("\n");
    session.link.disconnect();
    return reportResult(result, result.message == comm::kMsgNotServoProgram ? kExitBadFile : kExitFailed);
}

CliCommand servoUpdate("servo", "update", "send servo firmware (.rom) through the controller to the bus",
                       servoUpdateCommand);

} // namespace
