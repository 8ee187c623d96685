// tessaban servo update: servo firmware (.rom) through the controller to the bus.

#include "cli/CliCommand.h"
#include "cli/ControllerSession.h"
#include "link/ControllerLink.h"
#include "link/Maintenance.h"
#include "taskloom_texts/TaskloomTexts.h"

#include <cstdio>

namespace {

using namespace cli;

const char* const kServoHelp =
    "Usage: tessaban servo update [--port COMn] FILE.rom\n"
    "\n"
    "Reads and checks FILE.rom first (the container, every record of its text whole, the image\n"
    "inside the servo image area 0xC000-0xDFFF), then sends the servo firmware to the\n"
    "controller (c000), has the controller pass it on to the servos (IDs 0..30) or the modules\n"
    "(IDs 100..109) as the file says, and shows the controller's report.\n"
    "Exit status: 0 updated, 1 the controller, the transfer or the update failed, 2 usage or no\n"
    "port, 3 the file was refused (nothing was sent).\n";

int servoUpdateCommand(const std::vector<std::string>& args)
{
    ParsedArgs parsed;
    ControllerOptions options;
    if (int status = parseControllerArgs(args, kServoHelp, {}, {}, 1, parsed, options); status >= 0)
        return status;
    comm::PreparedImage image;
    if (auto refused = comm::Maintenance::prepareServoImage(parsed.positional[0], image); !refused.ok)
        return reportResult(refused);
    MaintenanceSession session(options);
    if (!session.connect())
        return kExitFailed;
    comm::MaintenanceResult result =
        session.runWithProgress(taskloom::text(comm::kMsgDownload),
                                [&](comm::Maintenance& jobs) { return jobs.updateServos(image); });
    session.host.endLine();
    session.link.disconnect();
    return reportResult(result);
}

CliCommand servoUpdate("servo", "update", "send servo firmware (.rom) through the controller to the bus",
                       servoUpdateCommand);

} // namespace
