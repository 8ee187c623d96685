#pragma once
// Starts kz7sim for a test: a fresh simulated controller on its own pseudo-terminal, with a
// control FIFO to press its buttons and inject faults. Stopped (SIGTERM) when destroyed.

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

extern char** environ;

namespace motiontest {

class SimProcess {
  public:
    SimProcess() = default;
    SimProcess(const SimProcess&) = delete;
    SimProcess& operator=(const SimProcess&) = delete;
    ~SimProcess() { stop(); }

    // Starts the simulator with extra arguments; true once it printed its device path.
    bool start(const std::vector<std::string>& extra)
    {
        static int serial = 0;
        fifo_ = "/tmp/motion-sim-" + std::to_string(::getpid()) + "-" + std::to_string(++serial) + ".fifo";
        std::vector<std::string> args = {std::string(TESSABAN_BIN_DIR) + "/kz7sim", "--control", fifo_};
        args.insert(args.end(), extra.begin(), extra.end());
        std::vector<char*> argv;
        for (auto& a : args)
            argv.push_back(a.data());
        argv.push_back(nullptr);

        int out[2];
        if (::pipe(out) != 0)
            return false;
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, out[1], 1);
        posix_spawn_file_actions_addclose(&actions, out[0]);
        int rc = posix_spawn(&pid_, argv[0], &actions, nullptr, argv.data(), environ);
        posix_spawn_file_actions_destroy(&actions);
        ::close(out[1]);
        if (rc != 0) {
            ::close(out[0]);
            pid_ = -1;
            return false;
        }
        // The first line is the device path; give the simulator a few seconds to print it.
        std::string line;
        auto until = std::chrono::steady_clock::now() + std::chrono::seconds(5);
        while (line.find('\n') == std::string::npos && std::chrono::steady_clock::now() < until) {
            pollfd p{out[0], POLLIN, 0};
            if (::poll(&p, 1, 100) <= 0)
                continue;
            char c[256];
            ssize_t n = ::read(out[0], c, sizeof c);
            if (n <= 0)
                break;
            line.append(c, static_cast<size_t>(n));
        }
        ::close(out[0]);
        auto nl = line.find('\n');
        if (nl == std::string::npos)
            return false;
        path_ = line.substr(0, nl);
        return !path_.empty();
    }

    const std::string& path() const { return path_; }

    // One control command ("stall 5000", "silent", "press MODE", ...).
    bool control(const std::string& command)
    {
        int fd = ::open(fifo_.c_str(), O_WRONLY | O_NONBLOCK);
        if (fd < 0)
            return false;
        std::string line = command + "\n";
        bool ok = ::write(fd, line.data(), line.size()) == static_cast<ssize_t>(line.size());
        ::close(fd);
        return ok;
    }

    void stop()
    {
        if (pid_ > 0) {
            ::kill(pid_, SIGTERM);
            int status = 0;
            ::waitpid(pid_, &status, 0);
            pid_ = -1;
        }
        if (!fifo_.empty())
            ::unlink(fifo_.c_str());
    }

  private:
    pid_t pid_ = -1;
    std::string path_;
    std::string fifo_;
};

} // namespace motiontest
