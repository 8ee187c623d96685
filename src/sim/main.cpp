// kz7sim: a software KZ-7 controller on a fresh pseudo-terminal. It prints the device path as
// its first line on standard output, then serves whoever opens that device until SIGTERM or
// SIGINT. See docs/kz7sim.md.

#include "motion/RobotProfile.h"
#include "platform/Clock.h"
#include "platform/PortMap.h"
#include "platform/Version.h"
#include "sim/ControlFifo.h"
#include "sim/Controller.h"
#include "sim/PtyHost.h"
#include "sim/PtyServer.h"
#include "sim/SimOptions.h"

#include <cerrno>
#include <climits>
#include <csignal>
#include <cstdio>
#include <fcntl.h>
#include <string>
#include <sys/prctl.h>
#include <unistd.h>
#include <vector>

namespace {

int signalPipe[2] = {-1, -1};

void onSignal(int)
{
    int saved = errno;
    char c = 1;
    [[maybe_unused]] ssize_t n = ::write(signalPipe[1], &c, 1);
    errno = saved;
}

int usageError(const std::string& why)
{
    std::fprintf(stderr, "kz7sim: %s\nRun 'kz7sim --help' for the options.\n", why.c_str());
    return 2;
}

int failure(const std::string& why)
{
    std::fprintf(stderr, "kz7sim: %s\n", why.c_str());
    return 1;
}

} // namespace

int main(int argc, char** argv)
{
    sim::ParsedOptions parsed = sim::parseSimOptions({argv + 1, argv + argc});
    if (parsed.outcome == sim::ParsedOptions::Outcome::Help) {
        std::fputs(sim::kSimUsage, stdout);
        return 0;
    }
    if (parsed.outcome == sim::ParsedOptions::Outcome::Version) {
        std::fputs(platform::versionText("kz7sim").c_str(), stdout);
        return 0;
    }
    if (parsed.outcome == sim::ParsedOptions::Outcome::Error)
        return usageError(parsed.error);
    const sim::SimOptions& options = parsed.options;

    std::string error;
    sim::ControllerMemory memory;
    if (!options.memoryFile.empty() && !memory.load(options.memoryFile, &error))
        return failure(error);
    if (options.blankFirmware)
        memory.eraseFirmware();

    sim::JointTable joints = sim::JointTable::standard();
    if (!options.profile.empty()) {
        motion::RobotProfile profile;
        if (!profile.load(options.profile, &error))
            return failure(error);
        if (!sim::JointTable::usableProfile(profile, &error))
            return failure(options.profile + ": " + error);
        joints = sim::JointTable::fromProfile(profile);
    }
    if (!options.joints.empty() && !joints.setPresent(options.joints, &error))
        return usageError(error);
    if (!options.unknown.empty() && !joints.setUnknown(options.unknown, &error))
        return usageError(error);
    if (!options.sensors.empty() && !sim::parseIdList(options.sensors, 253, joints.sensors.data(), &error))
        return usageError(error);

    sim::ControlFifo control;
    if (!options.controlFifo.empty() && !control.open(options.controlFifo, &error))
        return failure(error);

    if (::pipe2(signalPipe, O_NONBLOCK | O_CLOEXEC) != 0) {
        std::perror("kz7sim: pipe");
        return 1;
    }
    struct sigaction action {};
    action.sa_handler = onSignal;
    sigemptyset(&action.sa_mask);
    ::sigaction(SIGTERM, &action, nullptr);
    ::sigaction(SIGINT, &action, nullptr);
    ::sigaction(SIGHUP, &action, nullptr);
    ::signal(SIGPIPE, SIG_IGN);

    // The line's wake-ups are a byte time apart at most; they should not end up to 50 us late.
    ::prctl(PR_SET_TIMERSLACK, 1UL, 0, 0, 0);

    sim::PtyHost pty;
    if (!pty.open(&error))
        return failure("cannot open a pseudo-terminal: " + error);
    const std::string devicePath = pty.path();
    bool linked = false;
    if (options.com > 0) {
        if (!platform::linkPort(options.com, devicePath, &error))
            return failure("cannot link COM" + std::to_string(options.com) + ": " + error);
        linked = true;
    }
    auto removeLink = [&]() {
        if (!linked)
            return;
        linked = false;
        // Only our own link: another simulator may have taken the name meanwhile.
        std::string link = platform::portFolder() + "/COM" + std::to_string(options.com);
        char target[PATH_MAX];
        ssize_t n = ::readlink(link.c_str(), target, sizeof target - 1);
        if (n > 0 && std::string(target, static_cast<size_t>(n)) == devicePath)
            platform::unlinkPort(options.com);
    };

    std::printf("%s\n", devicePath.c_str());
    std::fflush(stdout);

    platform::Clock& clock = platform::systemClock();
    sim::Controller controller(memory, joints);
    controller.start(clock.nowMs(), options.powerOn, options.mode);

    sim::PtyServer::Settings settings;
    settings.pace = options.pace;
    settings.memoryFile = options.memoryFile;
    settings.watchStdout = options.watchStdout;
    settings.stopFd = signalPipe[0];
    sim::PtyServer server(controller, memory, pty, control, settings, clock);
    // The COMn link stays while the simulator runs, also after "vanish": a program reopening
    // COMn then finds the device gone instead of falling back to another port of that name.
    server.run();

    removeLink();
    pty.close();
    return 0;
}
