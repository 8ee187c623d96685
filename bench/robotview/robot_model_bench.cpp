// One animation step of every joint of the 18-joint humanoid, each joint moving (target 0..1023
// swapped whenever it is reached), and the frame world matrices a drawn frame needs.

#include "robotview/RobotModel.h"
#include "robotview/XFileBounds.h"

#include <benchmark/benchmark.h>

#include <fstream>
#include <iterator>
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

// Reading the profile and its model, as the editor now does once for its eight views (it used
// to do it once per view).
void BM_ReadHumanoid(benchmark::State& state)
{
    const std::string profile = std::string(TESSABAN_SOURCE_DIR) + "/data/Robot files/default.rbt";
    for (auto _ : state) {
        const robotview::RobotModel model = robotview::RobotModel::read(profile);
        if (!model.loaded())
            state.SkipWithError(model.loadError().c_str());
        benchmark::DoNotOptimize(model.meshes().data());
    }
}
BENCHMARK(BM_ReadHumanoid)->Unit(benchmark::kMillisecond);

// The look at the counts that comes before the importer, over the humanoid's text.
void BM_CheckHumanoidBounds(benchmark::State& state)
{
    std::ifstream in(std::string(TESSABAN_SOURCE_DIR) + "/data/Robot files/humanoid.x", std::ios::binary);
    const std::string bytes{std::istreambuf_iterator<char>(in), {}};
    for (auto _ : state)
        benchmark::DoNotOptimize(robotview::checkXFileBounds(bytes).ok);
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(bytes.size()));
}
BENCHMARK(BM_CheckHumanoidBounds)->Unit(benchmark::kMicrosecond);
