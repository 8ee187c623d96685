// One animation step of every joint of the 18-joint humanoid, each joint moving (target 0..1023
// swapped whenever it is reached), and the frame world matrices a drawn frame needs.

#include "robotview/RobotModel.h"

#include <benchmark/benchmark.h>

#include <string>

namespace {

robotview::RobotModel humanoid()
{
    robotview::RobotModel model;
    std::string error;
    if (!model.load(std::string(TESSABAN_SOURCE_DIR) + "/data/Robot files/default.rbt", &error))
        throw std::runtime_error(error);
    return model;
}

void keepMoving(robotview::RobotModel& model)
{
    for (int j = 0; j < model.jointCount(); ++j) {
        const int id = model.profile().joints()[static_cast<size_t>(j)].id;
        if (model.displayedValue(j) == model.targetValue(j))
            model.setJointTarget(id, model.targetValue(j) < 512 ? 1023 : 0);
    }
}

void BM_StepAllJoints(benchmark::State& state)
{
    auto model = humanoid();
    keepMoving(model);
    for (auto _ : state) {
        if (!model.step()) {
            state.PauseTiming();
            keepMoving(model);
            state.ResumeTiming();
            model.step();
        }
        benchmark::ClobberMemory();
    }
    state.counters["joints"] = model.jointCount();
}
BENCHMARK(BM_StepAllJoints);

void BM_FrameWorlds(benchmark::State& state)
{
    auto model = humanoid();
    std::vector<robotview::Mat4> worlds;
    for (auto _ : state) {
        model.frameWorlds(worlds);
        benchmark::DoNotOptimize(worlds.data());
    }
    state.counters["frames"] = static_cast<double>(model.frames().size());
}
BENCHMARK(BM_FrameWorlds);

} // namespace
