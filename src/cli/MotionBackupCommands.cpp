// tessaban motion backup | restore: the controller's 64 KiB motion memory to and from a .mtn file.

#include "cli/CliCommand.h"
#include "cli/ControllerSession.h"
#include "link/ControllerLink.h"
#include "link/Maintenance.h"
#include "taskloom_texts/TaskloomTexts.h"

#include <cstdio>
#include <filesystem>

namespace {

using namespace cli;

const char* const kBackupHelp =
    "Usage: tessaban motion backup [--port COMn] [--yes] [--no-verify] FILE.mtn\n"
    "\n"
    "Reads the controller's motion memory (65,536 bytes from e000) into FILE.mtn. First it checks\n"
    "that FILE.mtn can be written (a regular file or none yet, in a folder where a file can be\n"
    "created). The controller sends its memory when its START button is pressed: the command\n"
    "says so and waits for Enter on a terminal (not with --yes, nor when standard input is no\n"
    "terminal). The file is written only when everything arrived, and replaces an older one only\n"
    "then; a link is written through. A wait for START that times out (about 30 s) is called\n"
    "off on the controller. The transfer carries no checksum, so the memory is read twice (START\n"
    "is pressed a second time when asked) and the file is written only when both reads agree.\n"
    "  --no-verify      read once and write what arrived\n"
    "Exit status: 0 read, 1 the controller or the transfer failed or the two reads differ (no\n"
    "file is written), 2 usage or no port,\n"
    "3 FILE.mtn cannot be written (nothing was asked of the controller), 130 an existing file\n"
    "was not to be replaced.\n";

const char* const kRestoreHelp =
    "Usage: tessaban motion restore [--port COMn] FILE.mtn\n"
    "\n"
    "Writes a .mtn file (exactly 65,536 bytes) into the controller's motion memory. The file is\n"
    "read and checked before the port is opened.\n"
    "Exit status: 0 written, 1 the controller or the transfer failed, 2 usage or no port,\n"
    "3 the file was refused (nothing was sent).\n";

int backupCommand(const std::vector<std::string>& args)
{
    ParsedArgs parsed;
    ControllerOptions options;
    if (int status = parseControllerArgs(args, kBackupHelp, {}, {"--no-verify"}, 1, parsed, options);
        status >= 0)
        return status;
    const std::string& path = parsed.positional[0];
    // Where the backup goes is checked before the port is opened.
    if (auto refused = comm::Maintenance::checkBackupTarget(path); !refused.ok)
        return reportResult(refused);
    std::error_code ec;
    if (std::filesystem::exists(path, ec) && waitsForEnter(options)) {
        std::printf("%s already exists. Replace it? [y/N] ", path.c_str());
        std::fflush(stdout);
        std::string answer = readAnswer();
        if (answer.empty() || (answer[0] != 'y' && answer[0] != 'Y')) {
            std::fprintf(stderr, "tessaban: %s was kept; nothing was read\n", path.c_str());
            return kExitCancelled;
        }
    }

    MaintenanceSession session(options);
    if (!session.connect())
        return kExitFailed;
    session.host.showProgressAfterAcknowledge(session.link, "Read");
    comm::MaintenanceResult result = session.jobs.backupMotion(path, !parsed.has("--no-verify"));
    session.host.endProgress();
    if (result.ok) {
        // The controller stays in its boot loader until the user has read that they must press
        // MODE; only then is it brought back to its menu (if they have not done so already).
        waitForUser(std::string(taskloom::text(result.message)), options);
        session.link.disconnect();
        return kExitOk;
    }
    session.link.disconnect();
    return reportResult(result);
}

int restoreCommand(const std::vector<std::string>& args)
{
    ParsedArgs parsed;
    ControllerOptions options;
    if (int status = parseControllerArgs(args, kRestoreHelp, {}, {}, 1, parsed, options); status >= 0)
        return status;
    // A file that is no motion data is refused before the controller is even touched.
    comm::PreparedImage image;
    if (auto refused = comm::Maintenance::prepareMotionData(parsed.positional[0], image); !refused.ok)
        return reportResult(refused);

    MaintenanceSession session(options);
    if (!session.connect())
        return kExitFailed;
    comm::MaintenanceResult result =
        session.runWithProgress("Write", [&](comm::Maintenance& jobs) { return jobs.restoreMotion(image); });
    session.link.disconnect();
    return reportResult(result);
}

CliCommand backup("motion", "backup", "read the controller's motion memory into a .mtn file", backupCommand);
CliCommand restore("motion", "restore", "write a .mtn file into the controller's motion memory",
                   restoreCommand);

} // namespace
