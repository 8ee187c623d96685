// kz7sim: a software KZ-7 controller on a fresh pseudo-terminal. It prints the device path as
// its first line on standard output, then serves whoever opens that device until SIGTERM or
// SIGINT. See docs/kz7sim.md.

#include "motion/RobotProfile.h"
#include "platform/PortMap.h"
#include "sim/Controller.h"
#include "sim/PtyHost.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <climits>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <sched.h>
#include <string>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <time.h>
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

int64_t nowMs()
{
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

// How long after the last received byte a paced simulator keeps gating the writer.
constexpr int64_t kGateMs = 2000;
constexpr int64_t kMinGateUs = 3;
constexpr int64_t kMaxGateUs = 40;

const char kUsage[] =
    "Usage: kz7sim [OPTIONS]\n"
    "A software KZ-7 controller on a pseudo-terminal. Prints the device path as its first line.\n\n"
    "  --com N            link the device as COMN in the port folder (removed on exit)\n"
    "  --memory FILE      keep the controller's memory in FILE across runs\n"
    "  --control FIFO     read control commands from FIFO, one per line (created if missing)\n"
    "  --pace BAUD        send and take bytes no faster than a real line at BAUD\n"
    "  --power on|off     start switched on (in the menu, default) or off\n"
    "  --mode MODE        start in menu, console, screen, running or bootloader\n"
    "  --profile FILE     take the joints from a robot profile (.rbt)\n"
    "  --joints LIST      joints present on the bus, e.g. 1-18 (default without a profile)\n"
    "  --unknown LIST     joints present that do not report their position, e.g. 7\n"
    "  --sensors LIST     sensor modules on the bus, e.g. 100-102\n"
    "  --blank-firmware   start with the firmware erased (only the boot loader answers)\n"
    "  --exit-with-stdout end when the reader of standard output (a pipe) goes away\n";

struct Options {
    int com = 0;
    std::string memoryFile;
    std::string controlFifo;
    long pace = 0;
    bool powerOn = true;
    sim::Mode mode = sim::Mode::Menu;
    std::string profile;
    std::string joints;
    std::string unknown;
    std::string sensors;
    bool blankFirmware = false;
    bool watchStdout = false;
};

bool parseLong(const std::string& text, long low, long high, long& value)
{
    char* end = nullptr;
    errno = 0;
    long v = std::strtol(text.c_str(), &end, 10);
    if (text.empty() || *end != '\0' || errno != 0 || v < low || v > high)
        return false;
    value = v;
    return true;
}

int usageError(const std::string& why)
{
    std::fprintf(stderr, "kz7sim: %s\nRun 'kz7sim --help' for the options.\n", why.c_str());
    return 2;
}

// Reads control lines from the FIFO; a partial line waits for its end.
class ControlChannel {
  public:
    bool open(const std::string& path, std::string* error)
    {
        struct stat st {};
        if (::stat(path.c_str(), &st) == 0) {
            if (!S_ISFIFO(st.st_mode)) {
                *error = path + " exists and is not a FIFO";
                return false;
            }
        } else if (::mkfifo(path.c_str(), 0600) != 0) {
            *error = "cannot create " + path + ": " + std::strerror(errno);
            return false;
        } else {
            createdPath_ = path;
        }
        // Read and write: the FIFO then never reports end-of-file when a writer goes away.
        fd_ = ::open(path.c_str(), O_RDWR | O_NONBLOCK | O_CLOEXEC);
        if (fd_ < 0) {
            *error = "cannot open " + path + ": " + std::strerror(errno);
            return false;
        }
        return true;
    }
    int fd() const { return fd_; }
    std::vector<std::string> readLines()
    {
        std::vector<std::string> lines;
        if (fd_ < 0)
            return lines;
        char buffer[512];
        for (;;) {
            ssize_t n = ::read(fd_, buffer, sizeof buffer);
            if (n <= 0)
                break;
            partial_.append(buffer, static_cast<size_t>(n));
        }
        size_t pos;
        while ((pos = partial_.find('\n')) != std::string::npos) {
            std::string line = partial_.substr(0, pos);
            if (!line.empty() && line.back() == '\r')
                line.pop_back();
            partial_.erase(0, pos + 1);
            lines.push_back(line);
        }
        if (partial_.size() > 4096) // a line that never ends is not a command
            partial_.clear();
        return lines;
    }
    ~ControlChannel()
    {
        if (fd_ >= 0)
            ::close(fd_);
        if (!createdPath_.empty()) // ours: leave no FIFO behind
            ::unlink(createdPath_.c_str());
    }

  private:
    int fd_ = -1;
    std::string partial_;
    std::string createdPath_;
};

// Paces bytes at a line rate: credit grows with time and is spent per byte; an idle line
// builds no credit, so a burst never arrives faster than the line could carry it.
class Pacer {
  public:
    explicit Pacer(long baud) : bytesPerMs_(baud > 0 ? baud / 10000.0 : 0) {}
    bool enabled() const { return bytesPerMs_ > 0; }
    size_t allowance(int64_t now, bool busy)
    {
        if (!enabled())
            return SIZE_MAX;
        if (!busy || !busy_) {
            // The line starts carrying bytes now: the idle time before earns nothing.
            busy_ = busy;
            credit_ = 0;
            last_ = now;
            return 0;
        }
        credit_ = std::min(credit_ + (now - last_) * bytesPerMs_, kMaxCredit);
        last_ = now;
        return static_cast<size_t>(credit_);
    }
    void spend(size_t count)
    {
        if (enabled())
            credit_ = std::max(0.0, credit_ - static_cast<double>(count));
    }
    // How long until one more byte may go.
    int waitMs() const
    {
        if (!enabled())
            return 0;
        return std::max(1, static_cast<int>((1.0 - credit_) / bytesPerMs_) + 1);
    }

  private:
    static constexpr double kMaxCredit = 1024;
    double bytesPerMs_;
    double credit_ = 0;
    int64_t last_ = 0;
    bool busy_ = false;
};

} // namespace

int main(int argc, char** argv)
{
    Options options;
    std::vector<std::string> args(argv + 1, argv + argc);
    for (size_t i = 0; i < args.size(); ++i) {
        std::string name = args[i];
        std::string value;
        bool hasValue = false;
        if (auto eq = name.find('='); name.rfind("--", 0) == 0 && eq != std::string::npos) {
            value = name.substr(eq + 1);
            name = name.substr(0, eq);
            hasValue = true;
        }
        auto need = [&]() {
            if (hasValue)
                return true;
            if (i + 1 >= args.size())
                return false;
            value = args[++i];
            return true;
        };
        long number = 0;
        if (name == "--help" || name == "-h") {
            std::fputs(kUsage, stdout);
            return 0;
        } else if (name == "--blank-firmware") {
            options.blankFirmware = true;
        } else if (name == "--exit-with-stdout") {
            options.watchStdout = true;
        } else if (name == "--com") {
            if (!need() || !parseLong(value, 1, platform::kMaxComPort, number))
                return usageError("--com needs a port number 1..256");
            options.com = static_cast<int>(number);
        } else if (name == "--pace") {
            if (!need() || !parseLong(value, 50, 4000000, number))
                return usageError("--pace needs a baud rate 50..4000000");
            options.pace = number;
        } else if (name == "--power") {
            if (!need() || (value != "on" && value != "off"))
                return usageError("--power takes on or off");
            options.powerOn = value == "on";
        } else if (name == "--mode") {
            auto mode = need() ? sim::modeFromName(value) : std::nullopt;
            if (!mode)
                return usageError("--mode takes menu, console, screen, running or bootloader");
            options.mode = *mode;
        } else if (name == "--memory" || name == "--control" || name == "--profile" || name == "--joints" ||
                   name == "--unknown" || name == "--sensors") {
            if (!need() || value.empty())
                return usageError(name + " needs a value");
            std::string& target = name == "--memory"    ? options.memoryFile
                                  : name == "--control" ? options.controlFifo
                                  : name == "--profile" ? options.profile
                                  : name == "--joints"  ? options.joints
                                  : name == "--unknown" ? options.unknown
                                                        : options.sensors;
            target = value;
        } else {
            return usageError("unknown option " + name);
        }
    }

    std::string error;
    sim::ControllerMemory memory;
    if (!options.memoryFile.empty() && !memory.load(options.memoryFile, &error)) {
        std::fprintf(stderr, "kz7sim: %s\n", error.c_str());
        return 1;
    }
    if (options.blankFirmware)
        memory.eraseFirmware();

    sim::JointTable joints = sim::JointTable::standard();
    if (!options.profile.empty()) {
        motion::RobotProfile profile;
        if (!profile.load(options.profile, &error)) {
            std::fprintf(stderr, "kz7sim: %s\n", error.c_str());
            return 1;
        }
        joints = sim::JointTable::fromProfile(profile);
    }
    if (!options.joints.empty() && !joints.setPresent(options.joints, &error))
        return usageError(error);
    if (!options.unknown.empty() && !joints.setUnknown(options.unknown, &error))
        return usageError(error);
    if (!options.sensors.empty() && !sim::parseIdList(options.sensors, 253, joints.sensors.data(), &error))
        return usageError(error);

    ControlChannel control;
    if (!options.controlFifo.empty() && !control.open(options.controlFifo, &error)) {
        std::fprintf(stderr, "kz7sim: %s\n", error.c_str());
        return 1;
    }

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

    // Short sleeps (the write gate below) should end on time, not up to 50 us late.
    ::prctl(PR_SET_TIMERSLACK, 1UL, 0, 0, 0);

    sim::PtyHost pty;
    if (!pty.open(&error)) {
        std::fprintf(stderr, "kz7sim: cannot open a pseudo-terminal: %s\n", error.c_str());
        return 1;
    }
    const std::string devicePath = pty.path();
    bool linked = false;
    if (options.com > 0) {
        if (!platform::linkPort(options.com, devicePath, &error)) {
            std::fprintf(stderr, "kz7sim: cannot link COM%d: %s\n", options.com, error.c_str());
            return 1;
        }
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

    sim::Controller controller(memory, joints);
    controller.start(nowMs(), options.powerOn, options.mode);

    Pacer inputPace(options.pace);
    Pacer outputPace(options.pace);
    // How far the controller may fall behind the PC's writes before it holds them back.
    const size_t inputBacklog = options.pace > 0 ? 128 : 65536;
    // The most a held writer is made to wait for: 0.8 s of line time (its writes give up at 1 s).
    const size_t maxBacklog = options.pace > 0 ? static_cast<size_t>(options.pace * 8 / 100) : SIZE_MAX;
    std::string inbox;
    std::string outbox;
    int64_t lastSave = 0;
    int64_t vanishSeen = -1;
    int64_t lastInputAt = -kGateMs;
    int64_t gateUs = 10;
    size_t gateYield = 0;
    bool memoryDirty = false;
    auto saveMemory = [&]() {
        if (!memoryDirty || options.memoryFile.empty())
            return;
        if (!memory.save(options.memoryFile, &error))
            std::fprintf(stderr, "kz7sim: %s\n", error.c_str());
        memoryDirty = false;
    };

    for (;;) {
        int64_t now = nowMs();
        controller.advance(now);

        auto runControlCommands = [&]() {
            for (const std::string& line : control.readLines()) {
                if (line.empty())
                    continue;
                std::string reply;
                if (!controller.control(line, &error, &reply))
                    std::fprintf(stderr, "kz7sim: %s (ignored)\n", error.c_str());
                else if (!reply.empty())
                    std::fprintf(stderr, "kz7sim: %s\n", reply.c_str());
            }
        };
        runControlCommands();

        if (pty.isOpen()) {
            bool stalled = controller.stalled();
            static char buffer[65536];
            auto readOnce = [&]() {
                long n = pty.read(buffer, sizeof buffer);
                if (n > 0) {
                    inbox.append(buffer, static_cast<size_t>(n));
                    lastInputAt = now;
                    gateYield += static_cast<size_t>(n);
                }
                return n > 0;
            };
            if (!inputPace.enabled()) {
                if (!stalled)
                    while (inbox.size() < (1u << 20) && readOnce()) {
                    }
            } else if (!stalled && (pty.holding() || inbox.size() < inputBacklog)) {
                // Held, the writer cannot add to what is queued, so take all of it; running
                // free, take one read and hold at once (reading on while it writes would let
                // it through at memory speed).
                if (pty.holding())
                    while (inbox.size() < (1u << 20) && readOnce()) {
                    }
                else
                    readOnce();
            }
            // Commands written before the bytes just read are in the FIFO by now: apply them
            // first, so a script that sends a command and then data finds the command in effect.
            runControlCommands();
            stalled = controller.stalled();
            if (!inputPace.enabled() || stalled) {
                pty.holdInput(stalled);
            } else if (inbox.size() >= inputBacklog) {
                pty.holdInput(true);
            } else if (now - lastInputAt < kGateMs) {
                // While bytes are coming, the writer is let go only for a moment at a time. A
                // pseudo-terminal cannot be told to take so many bytes and no more, and what a
                // writer puts in reaches this side only once the writer stops to breathe, so
                // the moment is kept short and adjusted to what the last ones let through.
                if (gateYield > 512)
                    gateUs = std::max<int64_t>(kMinGateUs, gateUs / 2);
                else if (gateYield == 0)
                    gateUs = std::min<int64_t>(kMaxGateUs, gateUs + gateUs / 2 + 1);
                gateYield = 0;
                // The moment is slept through at real-time priority where that is allowed: a
                // writer woken onto this processor would otherwise keep it until the
                // pseudo-terminal is full, and only then let this process close the gate.
                sched_param realtime{};
                realtime.sched_priority = 1;
                bool raised = ::sched_setscheduler(0, SCHED_FIFO, &realtime) == 0;
                pty.holdInput(false);
                timespec pause{0, static_cast<long>(gateUs * 1000)};
                ::nanosleep(&pause, nullptr);
                pty.holdInput(true);
                if (raised) {
                    sched_param normal{};
                    ::sched_setscheduler(0, SCHED_OTHER, &normal);
                }
            } else {
                pty.holdInput(false); // a quiet line: wait for the writer without spinning
            }

            if (!stalled && !inbox.empty()) {
                size_t allowed = std::min(inbox.size(), inputPace.allowance(now, true));
                // A pseudo-terminal takes several kilobytes from a fast writer before the hold
                // above can act when this process is not scheduled at once. Holding the writer
                // until all of that has trickled through would make its bounded write fail, which
                // a real line with a driver queue never does: catch up instead, so the writer
                // never waits much more than 0.8 s.
                if (inbox.size() > maxBacklog)
                    allowed = std::max(allowed, inbox.size() - maxBacklog);
                if (allowed > 0) {
                    controller.receive(reinterpret_cast<const uint8_t*>(inbox.data()), allowed);
                    inbox.erase(0, allowed);
                    inputPace.spend(allowed);
                }
                if (inbox.empty())
                    inputPace.allowance(now, false); // idle from now on, not from the next wake-up
            } else {
                inputPace.allowance(now, false);
            }
            controller.advance(now);

            if (outbox.empty()) {
                size_t allowed = outputPace.allowance(now, controller.pendingOutput() > 0);
                outbox = controller.takeOutput(allowed);
                outputPace.spend(outbox.size());
                if (controller.pendingOutput() == 0)
                    outputPace.allowance(now, false);
            }
            if (!outbox.empty()) {
                long n = pty.write(outbox.data(), outbox.size());
                if (n > 0)
                    outbox.erase(0, static_cast<size_t>(n));
            }
            // Closing the pty throws away what the PC has not read yet, so the last bytes
            // before a vanish are given a moment to be read first.
            if (controller.vanished() && outbox.empty() && vanishSeen < 0)
                vanishSeen = now;
            // (The count lags a moment behind the write, hence the short grace first.)
            if (vanishSeen >= 0 &&
                ((now - vanishSeen >= 30 && pty.unreadByPeer() == 0) || now - vanishSeen > 1000)) {
                std::fprintf(stderr, "kz7sim: the device vanished as asked\n");
                pty.close();
                removeLink();
                inbox.clear();
            }
        }

        if (controller.takeMemoryChanged())
            memoryDirty = true;
        if (memoryDirty && now - lastSave >= 500) {
            saveMemory();
            lastSave = now;
        }

        // Sleep until something can happen.
        int timeout = 1000;
        if (auto next = controller.nextDeadline())
            timeout = static_cast<int>(std::clamp<int64_t>(*next - now, 0, timeout));
        if (memoryDirty)
            timeout = std::min(timeout, 500);
        if (vanishSeen >= 0 && pty.isOpen())
            timeout = std::min(timeout, 5);
        bool gating = inputPace.enabled() && pty.isOpen() && now - lastInputAt < kGateMs;
        bool pacedWork = gating || (!inbox.empty() && !controller.stalled() && inputPace.enabled()) ||
                         (outbox.empty() && controller.pendingOutput() > 0 && outputPace.enabled() &&
                          !controller.stalled());
        if (pacedWork)
            timeout = std::min(timeout, 2);
        if (controller.pendingOutput() > 0 && !outputPace.enabled() && !controller.stalled())
            timeout = 0;
        pollfd fds[4];
        nfds_t count = 0;
        fds[count++] = {signalPipe[0], POLLIN, 0};
        // The reader of standard output went away (a test that started us has died).
        if (options.watchStdout) {
            pollfd out{STDOUT_FILENO, 0, 0};
            if (::poll(&out, 1, 0) > 0 && (out.revents & (POLLERR | POLLHUP | POLLNVAL)))
                break;
        }
        if (control.fd() >= 0)
            fds[count++] = {control.fd(), POLLIN, 0};
        if (pty.isOpen()) {
            short events = 0;
            if (!controller.stalled() && inbox.size() < inputBacklog)
                events |= POLLIN;
            if (!outbox.empty())
                events |= POLLOUT;
            fds[count++] = {pty.masterFd(), events, 0};
        }
        int ready = ::poll(fds, count, timeout);
        if (ready > 0 && (fds[0].revents & POLLIN))
            break;
        if (ready > 0 && pty.isOpen() && (fds[count - 1].revents & (POLLHUP | POLLERR)) &&
            !(fds[count - 1].revents & POLLIN))
            ::usleep(1000); // no slave open yet on some kernels: do not spin
    }

    saveMemory();
    removeLink();
    pty.close();
    return 0;
}
