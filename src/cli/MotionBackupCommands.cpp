// tessaban motion backup | restore: the controller's 64 KiB motion memory to and from a .mtn file.

#include "cli/CliCommand.h"
#include "cli/ControllerSession.h"
#include "firmware/MotionDataFile.h"
#include "link/ControllerLink.h"
#include "link/Maintenance.h"

#include <cstdio>
#include <filesystem>
#include <iostream>
#include <unistd.h>

namespace {

using namespace cli;

const char* const kBackupHelp =
    "Usage: tessaban motion backup [--port COMn] [--yes] FILE.mtn\n"
    "\n"
    "Reads the controller's motion memory (65,536 bytes from e000) into FILE.mtn. The controller\n"
    "sends it when its START button is pressed: the command says so and waits for Enter on a\n"
    "terminal (not with --yes, nor when standard input is no terminal). The file is written only\n"
    "when everything arrived, and replaces an older one only then.\n";

const char* const kRestoreHelp =
    "Usage: tessaban motion restore [--port COMn] FILE.mtn\n"
    "\n"
    "Writes a .mtn file (exactly 65,536 bytes) into the controller's motion memory.\n";

int backupCommand(const std::vector<std::string>& args)
{
    ParsedArgs parsed;
    ControllerOptions options;
    if (int status = parseControllerArgs(args, kBackupHelp, {}, {}, 1, parsed, options); status >= 0)
        return status;
    const std::string& path = parsed.positional[0];
    std::error_code ec;
    if (std::filesystem::exists(path, ec) && !options.yes && ::isatty(STDIN_FILENO)) {
        std::printf("%s already exists. Replace it? [y/N] ", path.c_str());
        std::fflush(stdout);
        std::string answer;
        std::getline(std::cin, answer);
        if (answer.empty() || (answer[0] != 'y' && answer[0] != 'Y'))
            return kExitCancelled;
    }

    MaintenanceSession session(options);
    if (!session.connect())
        return kExitFailed;
    session.host.showProgressAfterAcknowledge(session.link, "Read");
    comm::MaintenanceResult result = session.jobs.backupMotion(path);
    session.host.endProgress();
    if (result.ok) {
        // The controller stays in its boot loader until the user has read that they must press
        // MODE; only then is it brought back to its menu (if they have not done so already).
        waitForUser(comm::linkMessageText(result.message), options);
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
    firmware::MotionDataFile file;
    std::vector<uint8_t> image;
    if (!file.readImage(parsed.positional[0], image)) {
        comm::MaintenanceResult refused;
        refused.message = file.error() == firmware::MotionFileError::WrongSize ? comm::kMsgNotMotionData
                          : file.error() == firmware::MotionFileError::ShortRead
                              ? comm::kMsgMotionFileReadFailed
                              : comm::kMsgNone;
        if (refused.message == comm::kMsgNone)
            refused.detail = parsed.positional[0] + ": " + file.errorText();
        return reportResult(refused, kExitBadFile);
    }

    MaintenanceSession session(options);
    if (!session.connect())
        return kExitFailed;
    comm::MaintenanceResult result = session.runWithProgress(
        "Write", [&](comm::Maintenance& jobs) { return jobs.restoreMotion(parsed.positional[0]); });
    session.link.disconnect();
    bool refused =
        !result.ok && (result.message == comm::kMsgNotMotionData ||
                       result.message == comm::kMsgMotionFileReadFailed || result.message == comm::kMsgNone);
    return reportResult(result, refused ? kExitBadFile : kExitFailed);
}

CliCommand backup("motion", "backup", "read the controller's motion memory into a .mtn file", backupCommand);
CliCommand restore("motion", "restore", "write a .mtn file into the controller's motion memory",
                   restoreCommand);

} // namespace
