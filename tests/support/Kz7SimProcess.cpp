#include "support/Kz7SimProcess.h"

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

extern char** environ;

namespace testsupport {

namespace {

constexpr int kStartTimeoutMs = 5000;
constexpr int kStopTimeoutMs = 5000;

} // namespace

Kz7SimProcess::~Kz7SimProcess()
{
    stop();
}

std::string Kz7SimProcess::programPath()
{
    return std::string(TESSABAN_BIN_DIR) + "/kz7sim";
}

bool Kz7SimProcess::start(const std::vector<std::string>& options)
{
    stop();
    error_.clear();
    // The simulator ends by itself if this process dies without stopping it: it watches the
    // pipe its device path came through, which stays open until stop().
    std::vector<std::string> args{programPath(), "--exit-with-stdout"};
    args.insert(args.end(), options.begin(), options.end());
    bool hasControl = false;
    for (size_t i = 0; i < options.size(); ++i) {
        if (options[i] == "--control" && i + 1 < options.size()) {
            controlPath_ = options[i + 1];
            hasControl = true;
        } else if (options[i].rfind("--control=", 0) == 0) {
            controlPath_ = options[i].substr(10);
            hasControl = true;
        }
    }
    if (!hasControl) {
        const char* tmp = std::getenv("TMPDIR");
        std::string pattern = std::string(tmp && *tmp ? tmp : "/tmp") + "/kz7sim-XXXXXX";
        std::vector<char> buffer(pattern.begin(), pattern.end());
        buffer.push_back('\0');
        if (!::mkdtemp(buffer.data())) {
            error_ = std::string("mkdtemp: ") + std::strerror(errno);
            return false;
        }
        tempDir_ = buffer.data();
        controlPath_ = tempDir_ + "/control";
        args.push_back("--control");
        args.push_back(controlPath_);
    }

    int out[2];
    if (::pipe2(out, O_CLOEXEC) != 0) {
        error_ = std::string("pipe: ") + std::strerror(errno);
        cleanUp();
        return false;
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
    std::vector<char*> argv;
    for (auto& a : args)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    pid_t pid = -1;
    int rc = ::posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    ::close(out[1]);
    if (rc != 0) {
        error_ = "cannot start " + args[0] + ": " + std::strerror(rc);
        ::close(out[0]);
        cleanUp();
        return false;
    }
    pid_ = pid;

    // The first line on its standard output is the device path.
    std::string line;
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(kStartTimeoutMs);
    while (line.find('\n') == std::string::npos) {
        int left = static_cast<int>(
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now())
                .count());
        if (left <= 0) {
            error_ = "kz7sim printed no device path within 5 s";
            break;
        }
        pollfd fd{out[0], POLLIN, 0};
        if (::poll(&fd, 1, left) <= 0)
            continue;
        char buffer[256];
        ssize_t n = ::read(out[0], buffer, sizeof buffer);
        if (n <= 0) {
            error_ = "kz7sim ended before printing its device path (see its message above)";
            break;
        }
        line.append(buffer, static_cast<size_t>(n));
    }
    if (!error_.empty()) {
        ::close(out[0]);
        stop();
        return false;
    }
    stdoutPipe_ = out[0];
    devicePath_ = line.substr(0, line.find('\n'));
    return true;
}

bool Kz7SimProcess::control(const std::string& command)
{
    if (pid_ <= 0 || controlPath_.empty())
        return false;
    // The simulator holds the FIFO open for reading, so this open never blocks.
    int fd = ::open(controlPath_.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        error_ = "cannot open " + controlPath_ + ": " + std::strerror(errno);
        return false;
    }
    std::string line = command + "\n";
    ssize_t n = ::write(fd, line.data(), line.size());
    ::close(fd);
    return n == static_cast<ssize_t>(line.size());
}

bool Kz7SimProcess::stop()
{
    bool clean = true;
    if (pid_ > 0) {
        ::kill(pid_, SIGTERM);
        int status = 0;
        auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(kStopTimeoutMs);
        pid_t done = 0;
        while ((done = ::waitpid(pid_, &status, WNOHANG)) == 0 && std::chrono::steady_clock::now() < deadline)
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        if (done == 0) {
            ::kill(pid_, SIGKILL);
            ::waitpid(pid_, &status, 0);
            clean = false;
        } else {
            clean = done == pid_ && WIFEXITED(status) && WEXITSTATUS(status) == 0;
        }
        pid_ = -1;
    }
    if (stdoutPipe_ >= 0) {
        ::close(stdoutPipe_);
        stdoutPipe_ = -1;
    }
    cleanUp();
    devicePath_.clear();
    return clean;
}

void Kz7SimProcess::cleanUp()
{
    if (!tempDir_.empty()) {
        ::unlink(controlPath_.c_str());
        ::rmdir(tempDir_.c_str());
        tempDir_.clear();
        controlPath_.clear();
    }
}

} // namespace testsupport
