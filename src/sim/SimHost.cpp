#include "sim/SimHost.h"

#include "motion/RobotProfile.h"
#include "platform/PortMap.h"

#include <cerrno>
#include <climits>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace sim {

namespace {

void closePipe(int (&fds)[2])
{
    for (int& fd : fds) {
        if (fd >= 0)
            ::close(fd);
        fd = -1;
    }
}

} // namespace

SimHost::~SimHost()
{
    close();
}

SimHost::Failure SimHost::open(const SimOptions& options, std::string* error)
{
    auto fail = [&](Failure kind, const std::string& why) {
        if (error)
            *error = why;
        close();
        return kind;
    };
    close();
    options_ = options;
    memory_ = ControllerMemory();
    std::string why;
    if (!options.memoryFile.empty() && !memory_.load(options.memoryFile, &why))
        return fail(Failure::Setup, why);
    if (options.blankFirmware)
        memory_.eraseFirmware();

    JointTable joints = JointTable::standard();
    if (!options.profile.empty()) {
        motion::RobotProfile profile;
        if (!profile.load(options.profile, &why))
            return fail(Failure::Setup, why);
        if (!JointTable::usableProfile(profile, &why))
            return fail(Failure::Setup, options.profile + ": " + why);
        joints = JointTable::fromProfile(profile);
    }
    if (!options.joints.empty() && !joints.setPresent(options.joints, &why))
        return fail(Failure::Usage, why);
    if (!options.unknown.empty() && !joints.setUnknown(options.unknown, &why))
        return fail(Failure::Usage, why);
    if (!options.sensors.empty() && !parseIdList(options.sensors, 253, joints.sensors.data(), &why))
        return fail(Failure::Usage, why);

    control_ = std::make_unique<ControlFifo>();
    if (!options.controlFifo.empty() && !control_->open(options.controlFifo, &why))
        return fail(Failure::Setup, why);
    if (::pipe2(wakePipe_, O_NONBLOCK | O_CLOEXEC) != 0 || ::pipe2(stopPipe_, O_NONBLOCK | O_CLOEXEC) != 0)
        return fail(Failure::Setup, std::string("cannot make a pipe: ") + std::strerror(errno));
    if (!pty_.open(&why))
        return fail(Failure::Setup, "cannot open a pseudo-terminal: " + why);
    if (options.com > 0) {
        // The label beside the link names the simulator in every port listing.
        if (!platform::linkPort(options.com, pty_.path(), &why, kPortLabel))
            return fail(Failure::Setup, "cannot link COM" + std::to_string(options.com) + ": " + why);
        linked_ = true;
    }

    platform::Clock& clock = platform::systemClock();
    controller_ = std::make_unique<Controller>(memory_, std::move(joints));
    controller_->start(clock.nowMs(), options.powerOn, options.mode);
    // Beside a COMn link the simulator offers its debugger (COMn.debug); one that cannot still
    // serves its port.
    if (options.com > 0) {
        debugger_ = std::make_unique<Debugger>(*controller_);
        debugServer_ = std::make_unique<DebugServer>(*debugger_);
        if (!debugServer_->open(platform::portFolder() + "/COM" + std::to_string(options.com) + ".debug",
                                &debugProblem_)) {
            debugServer_.reset();
            debugger_.reset();
        }
    }
    PtyServer::Settings settings;
    settings.pace = options.pace;
    settings.memoryFile = options.memoryFile;
    settings.watchStdout = options.watchStdout;
    settings.stopFd = stopPipe_[0];
    settings.guard = &mutex_;
    settings.wakeFd = wakePipe_[0];
    settings.debug = debugServer_.get();
    server_ = std::make_unique<PtyServer>(*controller_, memory_, pty_, *control_, settings, clock);
    return Failure::None;
}

void SimHost::serve()
{
    if (server_)
        server_->run();
}

bool SimHost::startThread(std::string* error)
{
    if (!server_ || thread_.joinable()) {
        if (error)
            *error = "the simulator is not ready to serve";
        return false;
    }
    thread_ = std::thread([this] { server_->run(); });
    return true;
}

void SimHost::stopThread()
{
    if (!thread_.joinable())
        return;
    const char c = 1;
    [[maybe_unused]] ssize_t n = ::write(stopPipe_[1], &c, 1);
    thread_.join();
}

void SimHost::setPace(long baud)
{
    std::lock_guard<std::mutex> lock(mutex_);
    if (server_)
        server_->setPace(baud);
    wake();
}

void SimHost::wake() const
{
    const char c = 1;
    if (wakePipe_[1] >= 0) [[maybe_unused]]
        ssize_t n = ::write(wakePipe_[1], &c, 1);
}

void SimHost::removeLink()
{
    if (!linked_)
        return;
    linked_ = false;
    // Only our own link (and label): another simulator may have taken the name meanwhile.
    const std::string link = platform::portFolder() + "/COM" + std::to_string(options_.com);
    char target[PATH_MAX];
    ssize_t n = ::readlink(link.c_str(), target, sizeof target - 1);
    if (n > 0 && std::string(target, static_cast<size_t>(n)) == pty_.path())
        platform::unlinkPort(options_.com); // the label goes with it
}

void SimHost::close()
{
    stopThread();
    // The loop writes the memory file when it ends; a host that never served has nothing new.
    server_.reset();
    debugServer_.reset();
    debugger_.reset(); // unhooks itself from the controller
    debugProblem_.clear();
    controller_.reset();
    control_.reset();
    removeLink();
    pty_.close();
    closePipe(wakePipe_);
    closePipe(stopPipe_);
}

} // namespace sim
