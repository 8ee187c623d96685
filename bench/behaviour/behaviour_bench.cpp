// The hot paths of the behaviour core on a full program (1000 lines, every line filled, an
// image that still fits the controller's area). Target: each under 1 ms.

#include "behaviour/BehaviorProgram.h"
#include "behaviour/ProgramBuilder.h"
#include "behaviour/ProgramFile.h"
#include "behaviour/RuleChecker.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <filesystem>
#include <string>

using namespace behaviour;

namespace {

std::string numbered(const char* prefix, int i)
{
    std::string s(prefix); // appended, not concatenated: GCC 12 at -O3 warns wrongly on the latter
    s.append(std::to_string(i));
    return s;
}

// START, 998 visited lines cycling through LOADs on names, numbers, controller and device
// registers (7 bytes each: 6988 bytes in all), a label every tenth line, END.
const BehaviorProgram& fullProgram()
{
    static BehaviorProgram p = [] {
        BehaviorProgram q;
        q.setConfirm([](const std::string&) { return true; });
        q.insertLines(q.count(), BehaviorProgram::Capacity - q.count());
        ProgramBuilder b(q);
        b.line().start();
        for (int i = 1; i < BehaviorProgram::Capacity - 1; ++i) {
            const std::string label = i % 10 == 0 ? numbered("L", i) : std::string();
            switch (i % 4) {
            case 0:
                b.line(label, "counter").load(Operand::name(numbered("v", i % 40)), Operand::number(i));
                break;
            case 1:
                b.line(label).load(Operand::kz7(44), Operand::name(numbered("v", i % 40)));
                break;
            case 2:
                b.line(label).load(Operand::device("Wheel", 3, 12), Operand::custom("arm", "pos"));
                break;
            default:
                b.line(label).load(Operand::kz7(39), Operand::device("Sensor", 100, 20));
                break;
            }
        }
        b.line().end();
        if (!b.ok() || !buildProgram(q).ok)
            std::fprintf(stderr, "the benchmark program is not valid\n");
        q.setCurrent(-1, -1);
        return q;
    }();
    return p;
}

void BM_LoadFull(benchmark::State& state)
{
    const auto bytes = serializeProgram(fullProgram());
    BehaviorProgram p;
    for (auto _ : state) {
        LoadResult r = parseProgram(bytes, p);
        benchmark::DoNotOptimize(r.ok);
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * bytes.size()));
}
BENCHMARK(BM_LoadFull)->Unit(benchmark::kMicrosecond);

void BM_SaveFull(benchmark::State& state)
{
    const BehaviorProgram& p = fullProgram();
    size_t size = 0;
    for (auto _ : state) {
        auto bytes = serializeProgram(p);
        size = bytes.size();
        benchmark::DoNotOptimize(bytes.data());
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * size));
}
BENCHMARK(BM_SaveFull)->Unit(benchmark::kMicrosecond);

// The same, through a temporary file and the rename (includes the file system).
void BM_SaveFileFull(benchmark::State& state)
{
    const BehaviorProgram& p = fullProgram();
    const std::string path = (std::filesystem::temp_directory_path() / "behaviour_bench.tpg").string();
    for (auto _ : state)
        benchmark::DoNotOptimize(saveProgramFile(path, p).ok);
    std::filesystem::remove(path);
}
BENCHMARK(BM_SaveFileFull)->Unit(benchmark::kMicrosecond);

void BM_CheckGenerateFull(benchmark::State& state)
{
    BehaviorProgram p = fullProgram();
    int length = 0;
    for (auto _ : state) {
        BuildResult r = buildProgram(p);
        length = p.image.length;
        benchmark::DoNotOptimize(r.ok);
    }
    state.counters["image_bytes"] = length;
}
BENCHMARK(BM_CheckGenerateFull)->Unit(benchmark::kMicrosecond);

void BM_InsertLineIntoFull(benchmark::State& state)
{
    BehaviorProgram p = fullProgram();
    p.setConfirm([](const std::string&) { return true; });
    for (auto _ : state)
        benchmark::DoNotOptimize(p.insertLines(0, 1).ok); // shifts 999 lines, one drops off the end
}
BENCHMARK(BM_InsertLineIntoFull)->Unit(benchmark::kMicrosecond);

void BM_DeleteLineFromFull(benchmark::State& state)
{
    BehaviorProgram p = fullProgram();
    p.setConfirm([](const std::string&) { return true; });
    for (auto _ : state) {
        benchmark::DoNotOptimize(p.deleteLines(0, 1).ok); // shifts 999 lines up
        state.PauseTiming();
        p.insertLines(p.count(), 1); // back to 1000 lines
        state.ResumeTiming();
    }
}
BENCHMARK(BM_DeleteLineFromFull)->Unit(benchmark::kMicrosecond);

void BM_PasteHundredIntoFull(benchmark::State& state)
{
    BehaviorProgram p = fullProgram();
    p.setConfirm([](const std::string&) { return true; });
    p.selectOne(100);
    p.extendSelection(199);
    const auto block = p.copySelection();
    for (auto _ : state) {
        p.selectOne(500);
        p.extendSelection(599);
        benchmark::DoNotOptimize(p.pasteBlock(block));
    }
}
BENCHMARK(BM_PasteHundredIntoFull)->Unit(benchmark::kMicrosecond);

} // namespace
