// tessaban program download | play: sending a behaviour program to the controller and running
// it with its output on the terminal.

#include "behaviour/BehaviorProgram.h"
#include "behaviour/ProgramFile.h"
#include "behaviour/RuleChecker.h"
#include "cli/CliCommand.h"
#include "cli/ControllerSession.h"
#include "link/ControllerLink.h"
#include "link/Maintenance.h"
#include "taskloom_texts/TaskloomTexts.h"

#include <cstdio>
#include <cstdlib>

namespace {

using namespace cli;

const char* const kDownloadHelp =
    "Usage: tessaban program download [--port COMn] FILE.tpg\n"
    "\n"
    "Checks the program, generates its image and sends it to the controller's program memory\n"
    "(0xA000) through its boot loader; the controller is back in its menu afterwards. The file\n"
    "is read and checked before the port is opened.\n"
    "Exit status: 0 downloaded, 1 the controller or the transfer failed, 2 usage or no port,\n"
    "3 the file was refused or the program has errors (nothing was sent).\n";

const char* const kPlayHelp =
    "Usage: tessaban program play [--port COMn] [--seconds N]\n"
    "\n"
    "Runs the program stored in the controller and prints what it sends until Ctrl-C (or for N\n"
    "seconds), then stops it, returns the controller to its menu and says how it ended.\n"
    "  --seconds N   stop by itself after N seconds\n"
    "Exit status: 0 stopped after N seconds, 130 stopped by Ctrl-C (the program stopped and the\n"
    "controller back in its menu all the same), 1 the controller stopped answering or could not\n"
    "be stopped, 2 usage or no port.\n";

int downloadCommand(const std::vector<std::string>& args)
{
    ParsedArgs parsed;
    ControllerOptions options;
    if (int status = parseControllerArgs(args, kDownloadHelp, {}, {}, 1, parsed, options); status >= 0)
        return status;

    const std::string& path = parsed.positional[0];
    behaviour::BehaviorProgram program;
    behaviour::LoadResult loaded = behaviour::loadProgramFile(path, program);
    if (!loaded.ok) {
        std::fprintf(stderr, "tessaban: %s: %s\n", path.c_str(), loaded.message.c_str());
        return kExitBadFile;
    }
    // The check and the generation come first: a program with errors is never sent.
    behaviour::BuildResult built = behaviour::buildProgram(program);
    if (!built.ok) {
        std::fprintf(stderr, "%s\n", built.message.c_str());
        return kExitBadFile;
    }

    MaintenanceSession session(options);
    if (!session.connect())
        return kExitFailed;
    comm::MaintenanceResult result =
        session.runWithProgress(taskloom::text(comm::kMsgDownload),
                                [&](comm::Maintenance& jobs) { return jobs.downloadProgram(built.bytes); });
    session.link.disconnect();
    if (result.ok)
        std::printf("Downloaded %s to a000.\n", countOf(built.bytes.size(), "byte").c_str());
    return reportResult(result);
}

int playCommand(const std::vector<std::string>& args)
{
    ParsedArgs parsed;
    ControllerOptions options;
    if (int status = parseControllerArgs(args, kPlayHelp, {"--seconds"}, {}, 0, parsed, options); status >= 0)
        return status;
    double seconds = -1;
    if (parsed.has("--seconds")) {
        char* end = nullptr;
        std::string text = parsed.value("--seconds");
        seconds = std::strtod(text.c_str(), &end);
        if (end == text.c_str() || *end || seconds < 0) {
            std::fprintf(stderr, "tessaban: --seconds needs a number of seconds\n");
            return kExitUsage;
        }
    }

    MaintenanceSession session(options);
    if (!session.connect())
        return kExitFailed;
    Interrupt interrupt;
    comm::MaintenanceResult result = session.jobs.playProgram(
        Interrupt::stopRequested(), seconds >= 0 ? static_cast<long>(seconds * 1000) : -1);
    session.host.endLine();
    session.link.disconnect();
    if (!result.ok) {
        std::fprintf(stderr, "tessaban: the controller stopped answering; the program may still run\n");
        return reportResult(result);
    }
    if (Interrupt::stopRequested().load()) {
        std::printf("Stopped by Ctrl-C; the controller is back in its menu.\n");
        return kExitCancelled;
    }
    const std::string given = parsed.value("--seconds");
    std::printf("Stopped after %s %s; the controller is back in its menu.\n", given.c_str(),
                given == "1" ? "second" : "seconds");
    return kExitOk;
}

CliCommand download("program", "download", "check a .tpg, generate its image and send it to the controller",
                    downloadCommand);
CliCommand play("program", "play", "run the controller's program and show its output until Ctrl-C",
                playCommand);

} // namespace
