// Interpreter throughput on a counting loop with nothing holding it back, and the share of a
// core that kz7sim costs while it plays a program that never ends (paced as the controller is).

#include "sim/Controller.h"
#include "sim/ControllerMemory.h"
#include "sim/Debugger.h"
#include "sim/Interpreter.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <fstream>
#include <spawn.h>
#include <sstream>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace {

// START; loop: COMPUTE n = n + 1; IF n != 0 THEN JUMP loop; JUMP loop; END — it never ends.
const std::vector<uint8_t> kCountingLoop = {
    0x04,                                                                         // 0 START
    0x03, 0x05, 0x00, 0x00, 0x05, 0x00, 0x00, 0x00, 0x04, 0x01, 0x00,             // 1 COMPUTE n = n + 1
    0x80, 0x05, 0x00, 0x00, 0x05, 0x04, 0x00, 0x00, 0x00, 0x01, 0x04, 0x01, 0x00, // 12 IF n != 0 THEN JUMP 1
    0x01, 0x04, 0x01, 0x00,                                                       // 25 JUMP 1
    0x05,                                                                         // 29 END
};

class QuietBus : public sim::ProgramBus {
  public:
    int16_t read(int, int) override { return 0; }
    bool write(int, int, int16_t) override { return true; }
};

void BM_InterpreterCountingLoop(benchmark::State& state)
{
    sim::Interpreter interpreter;
    interpreter.load(kCountingLoop.data(), kCountingLoop.size());
    QuietBus bus;
    size_t lines = 0;
    for (auto _ : state)
        lines += interpreter.run(bus, 100000);
    if (!interpreter.runnable())
        state.SkipWithError("the loop stopped");
    state.SetItemsProcessed(static_cast<int64_t>(lines));
    state.counters["lines_per_s"] =
        benchmark::Counter(static_cast<double>(lines), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_InterpreterCountingLoop);

// The same loop under the simulator's debugger: hooked with no breakpoint (argument 0), and with
// 64 breakpoints on offsets the loop never reaches (argument 64). Set against the plain loop,
// this is what being debuggable costs a program that is not stopped.
void BM_InterpreterCountingLoopDebugged(benchmark::State& state)
{
    sim::ControllerMemory memory;
    sim::Controller controller(memory, sim::JointTable::standard());
    sim::Debugger debugger(controller);
    for (int64_t i = 0; i < state.range(0); ++i) {
        char request[32];
        std::snprintf(request, sizeof request, "break %04X", static_cast<unsigned>(0x100 + 7 * i));
        if (debugger.request(request).rfind("ok", 0) != 0)
            state.SkipWithError("a breakpoint was refused");
    }
    sim::Interpreter interpreter;
    interpreter.load(kCountingLoop.data(), kCountingLoop.size());
    interpreter.setLineHook(&debugger);
    QuietBus bus;
    size_t lines = 0;
    for (auto _ : state)
        lines += interpreter.run(bus, 100000);
    if (!interpreter.runnable() || debugger.paused())
        state.SkipWithError("the loop stopped");
    state.SetItemsProcessed(static_cast<int64_t>(lines));
    state.counters["lines_per_s"] =
        benchmark::Counter(static_cast<double>(lines), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_InterpreterCountingLoopDebugged)->Arg(0)->Arg(64);

double processCpuSeconds(pid_t pid)
{
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    std::string text((std::istreambuf_iterator<char>(stat)), {});
    auto close = text.rfind(')');
    if (close == std::string::npos)
        return -1;
    std::istringstream fields(text.substr(close + 2));
    std::string skip;
    for (int i = 0; i < 11; ++i) // state .. cmajflt
        fields >> skip;
    long utime = 0, stime = 0;
    fields >> utime >> stime;
    return static_cast<double>(utime + stime) / static_cast<double>(::sysconf(_SC_CLK_TCK));
}

// kz7sim in its running state for ten seconds of wall time: with the never-ending loop
// (argument 1), and with no program (argument 0) for the simulator's own cost.
void BM_PacedProgramCpu(benchmark::State& state)
{
    char folder[] = "/tmp/sim-bench-XXXXXX";
    if (!::mkdtemp(folder)) {
        state.SkipWithError("no temporary folder");
        return;
    }
    const std::string memoryFile = std::string(folder) + "/kz7.mem";
    sim::ControllerMemory memory;
    if (state.range(0) == 1)
        memory.write(sim::ControllerMemory::kProgram, kCountingLoop.data(), kCountingLoop.size());
    memory.save(memoryFile);
    const double seconds = 10;
    for (auto _ : state) {
        std::string program = std::string(TESSABAN_BIN_DIR) + "/kz7sim";
        std::vector<std::string> args = {program, "--mode", "running", "--memory", memoryFile};
        std::vector<char*> argv;
        for (auto& a : args)
            argv.push_back(a.data());
        argv.push_back(nullptr);
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
        pid_t pid = -1;
        int rc = ::posix_spawn(&pid, program.c_str(), &actions, nullptr, argv.data(), environ);
        posix_spawn_file_actions_destroy(&actions);
        if (rc != 0) {
            state.SkipWithError("kz7sim does not start");
            break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(500)); // start-up is not the program
        double before = processCpuSeconds(pid);
        auto start = std::chrono::steady_clock::now();
        std::this_thread::sleep_for(std::chrono::duration<double>(seconds));
        double used = processCpuSeconds(pid) - before;
        double wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        ::kill(pid, SIGTERM);
        ::waitpid(pid, nullptr, 0);
        state.SetIterationTime(wall);
        state.counters["cpu_percent_of_a_core"] = 100.0 * used / wall;
    }
    std::remove(memoryFile.c_str());
    ::rmdir(folder);
}
BENCHMARK(BM_PacedProgramCpu)->Arg(0)->Arg(1)->Iterations(1)->UseManualTime()->Unit(benchmark::kSecond);

} // namespace
