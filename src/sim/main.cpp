// kz7sim: a software KZ-7 controller on a fresh pseudo-terminal. It prints the device path as
// its first line on standard output, then serves whoever opens that device until SIGTERM or
// SIGINT. See docs/kz7sim.md.

#include "platform/Version.h"
#include "sim/SimHost.h"
#include "sim/SimOptions.h"

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <string>
#include <sys/prctl.h>
#include <unistd.h>

namespace {

int stopFd = -1;

void onSignal(int)
{
    int saved = errno;
    char c = 1;
    [[maybe_unused]] ssize_t n = ::write(stopFd, &c, 1);
    errno = saved;
}

int usageError(const std::string& why)
{
    std::fprintf(stderr, "kz7sim: %s\nRun 'kz7sim --help' for the options.\n", why.c_str());
    return 2;
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

    ::signal(SIGPIPE, SIG_IGN);
    sim::SimHost host;
    std::string error;
    switch (host.open(parsed.options, &error)) {
    case sim::SimHost::Failure::None:
        break;
    case sim::SimHost::Failure::Usage:
        return usageError(error);
    case sim::SimHost::Failure::Setup:
        std::fprintf(stderr, "kz7sim: %s\n", error.c_str());
        return 1;
    }
    if (!host.debugChannelProblem().empty())
        std::fprintf(stderr, "kz7sim: no debug channel: %s\n", host.debugChannelProblem().c_str());
    stopFd = host.stopWriteFd();
    struct sigaction action {};
    action.sa_handler = onSignal;
    sigemptyset(&action.sa_mask);
    ::sigaction(SIGTERM, &action, nullptr);
    ::sigaction(SIGINT, &action, nullptr);
    ::sigaction(SIGHUP, &action, nullptr);

    // The line's wake-ups are a byte time apart at most; they should not end up to 50 us late.
    ::prctl(PR_SET_TIMERSLACK, 1UL, 0, 0, 0);

    std::printf("%s\n", host.devicePath().c_str());
    std::fflush(stdout);
    // The COMn link stays while the simulator runs, also after "vanish": a program reopening
    // COMn then finds the device gone instead of falling back to another port of that name.
    host.serve();
    host.close();
    return 0;
}
