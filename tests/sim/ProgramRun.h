#pragma once
// A controller on a test clock with a behaviour program in its memory: images come from the
// code generator (what a download sends), the program runs in the running state.

#include "SimHarness.h"

#include "behaviour/ProgramBuilder.h"
#include "behaviour/RuleChecker.h"

#include <functional>
#include <vector>

namespace simtest {

// The image a download sends (checksum last) for the program the builder writes; empty when
// the builder or the check refused it.
inline std::vector<uint8_t> imageOf(const std::function<void(behaviour::ProgramBuilder&)>& write)
{
    behaviour::BehaviorProgram program;
    behaviour::ProgramBuilder builder(program);
    write(builder);
    if (!builder.ok())
        return {};
    behaviour::BuildResult built = behaviour::buildProgram(program);
    return built.ok ? built.bytes : std::vector<uint8_t>{};
}

inline sim::JointTable robotWithSensor()
{
    sim::JointTable table = sim::JointTable::standard();
    table.sensors[100] = true;
    return table;
}

struct ProgramRun : SimHarness {
    explicit ProgramRun(const sim::JointTable& table = robotWithSensor())
        : SimHarness(true, sim::Mode::Menu, table)
    {
    }

    // Stores the image as the boot loader does (without its checksum byte).
    void store(const std::vector<uint8_t>& imageWithChecksum)
    {
        memory.eraseProgram();
        if (!imageWithChecksum.empty())
            memory.write(sim::ControllerMemory::kProgram, imageWithChecksum.data(),
                         imageWithChecksum.size() - 1);
    }
    // Menu entry 2, Enter: the program starts. Returns what it printed within `ms`, without
    // the start line.
    std::string play(int64_t ms)
    {
        send("\t\t", 0);
        std::string out = send("\r", ms);
        size_t start = out.find("started\r\n");
        return start == std::string::npos ? out : out.substr(start + 9);
    }
    std::string run(const std::vector<uint8_t>& imageWithChecksum, int64_t ms)
    {
        store(imageWithChecksum);
        return play(ms);
    }
    const sim::RunningState& state() const { return controller.running(); }
    sim::Interpreter::State programState() const { return controller.running().interpreter().state(); }
};

} // namespace simtest
