#include "SimBench.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

extern char** environ;

namespace linktest {

namespace {

std::string binary(const char* name)
{
    return std::string(TESSABAN_BIN_DIR) + "/" + name;
}

// Reads a pipe until it closes or the deadline passes.
void drain(int fd, std::string& into, std::chrono::steady_clock::time_point deadline,
           const std::function<void(const std::string&)>& onOutput = {})
{
    char buffer[4096];
    while (std::chrono::steady_clock::now() < deadline) {
        pollfd p{fd, POLLIN, 0};
        if (::poll(&p, 1, 50) <= 0)
            continue;
        ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n <= 0)
            return;
        into.append(buffer, static_cast<size_t>(n));
        if (onOutput)
            onOutput(into);
    }
}

} // namespace

SimBench::SimBench(SimOptions options) : options_(std::move(options))
{
    if (!scratch_.ok())
        return;
    std::filesystem::create_directories(folder_ + "/config");

    std::vector<std::string> args = {"--com", std::to_string(options_.com), "--memory", path("memory.bin")};
    if (!options_.poweredOn)
        args.insert(args.end(), {"--power", "off"});
    if (options_.blankFirmware)
        args.push_back("--blank-firmware");
    if (!options_.mode.empty())
        args.insert(args.end(), {"--mode", options_.mode});
    if (options_.pace > 0)
        args.insert(args.end(), {"--pace", std::to_string(options_.pace)});
    args.insert(args.end(), options_.more.begin(), options_.more.end());
    // The simulator links its COM name in the bench's own port folder (TESSABAN_PORTS, set by
    // scratch_); each test runs in its own process, so the variable touches no other test.
    started_ = sim_.start(args);
}

SimBench::~SimBench()
{
    sim_.stop(); // before scratch_ takes its folder away
}

void SimBench::control(const std::string& line)
{
    sim_.control(line);
}

void SimBench::controlLater(const std::string& line, int delayMs)
{
    // The FIFO is opened by path at the time, so a bench that has gone away just loses the line.
    std::string fifo = sim_.controlPath();
    std::thread([fifo, line, delayMs] {
        std::this_thread::sleep_for(std::chrono::milliseconds(delayMs));
        int fd = ::open(fifo.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
        if (fd < 0)
            return;
        std::string text = line + "\n";
        [[maybe_unused]] ssize_t n = ::write(fd, text.data(), text.size());
        ::close(fd);
    }).detach();
}

std::vector<uint8_t> SimBench::memory() const
{
    return readFile(path("memory.bin"));
}

void SimBench::savePortSetting(int number) const
{
    std::filesystem::create_directories(folder_ + "/config/Quorvel");
    std::ofstream ini(folder_ + "/config/Quorvel/Tessaban.conf");
    ini << "[Taskloom%20%28Tessaban%29]\nSettings\\Com%20Port=" << number << "\n";
}

CommandResult SimBench::tessaban(const std::vector<std::string>& args, int timeoutSeconds,
                                 const std::function<void(const std::string&)>& onOutput) const
{
    CommandResult result;
    int out[2], err[2];
    if (::pipe(out) != 0 || ::pipe(err) != 0)
        return result;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_adddup2(&actions, out[1], 1);
    posix_spawn_file_actions_adddup2(&actions, err[1], 2);
    posix_spawn_file_actions_addclose(&actions, out[0]);
    posix_spawn_file_actions_addclose(&actions, err[0]);
    std::vector<std::string> all = {binary("tessaban")};
    all.insert(all.end(), args.begin(), args.end());
    std::vector<std::string> env;
    for (char** e = environ; *e; ++e)
        if (std::strncmp(*e, "TESSABAN_PORTS=", 15) != 0 && std::strncmp(*e, "XDG_CONFIG_HOME=", 16) != 0)
            env.emplace_back(*e);
    env.push_back("TESSABAN_PORTS=" + folder_ + "/ports");
    env.push_back("XDG_CONFIG_HOME=" + folder_ + "/config");
    std::vector<char*> argv, envp;
    for (auto& a : all)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    for (auto& e : env)
        envp.push_back(e.data());
    envp.push_back(nullptr);
    pid_t pid = -1;
    int rc = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    ::close(out[1]);
    ::close(err[1]);
    if (rc != 0) {
        ::close(out[0]);
        ::close(err[0]);
        return result;
    }
    command_.store(pid);
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(timeoutSeconds);
    std::thread errReader([&] { drain(err[0], result.err, deadline); });
    drain(out[0], result.out, deadline, onOutput);
    errReader.join();
    ::close(out[0]);
    ::close(err[0]);
    int status = 0;
    while (::waitpid(pid, &status, WNOHANG) == 0) {
        if (std::chrono::steady_clock::now() >= deadline) {
            ::kill(pid, SIGKILL);
            ::waitpid(pid, &status, 0);
            result.status = -2;
            command_.store(-1);
            return result;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    command_.store(-1);
    result.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    return result;
}

} // namespace linktest
