// Decoding one full repaint of the controller's motion page, as it arrives after connecting or
// after "re": target under 100 microseconds.

#include "motion/ScreenDecoder.h"

#include <benchmark/benchmark.h>

#include <string>

namespace {

std::string field(int row, int col, const std::string& value = {})
{
    return "\x02\x1b[" + std::to_string(row) + ";" + std::to_string(col) + "f" + value;
}

std::string fullRepaint()
{
    auto four = [](int v) {
        std::string s = std::to_string(v);
        return std::string(4 - s.size(), ' ') + s;
    };
    std::string s = field(1, 1, "   MOTION PAGE EDITOR   ");
    for (int row = 1; row <= 31; ++row) {
        const bool present = row >= 2 && row <= 19;
        s += field(row, 20, present ? four(512 + row) : "   -");
        for (int p = 0; p < 7; ++p)
            s += field(row, 26 + 5 * p, p < 4 ? (present ? four(300 + row * 10 + p) : "   -") : "");
        s += field(row, 61, "  0");
    }
    s += field(32, 21, " 10") + field(33, 21, " 20");
    for (int p = 0; p < 7; ++p)
        s += field(32, 27 + 5 * p, " 50") + field(33, 27 + 5 * p, "100");
    s += field(1, 64, "Walk forward   ") + field(2, 76, "   3") + field(3, 70, "0000A1F0");
    for (int row : {5, 10, 12, 14, 15, 16})
        s += field(row, 77, "  4");
    s += field(33, 64, "01") + field(33, 69, "02") + field(33, 74, "0003") + field(34, 72, "  2") +
         field(35, 3, "Page 3 loaded");
    return s;
}

void BM_DecodeFullRepaint(benchmark::State& state)
{
    const std::string paint = fullRepaint();
    motion::MotionScreen screen;
    size_t events = 0;
    motion::ScreenDecoder decoder(screen, [&](const motion::LinkEvent&) { ++events; });
    for (auto _ : state) {
        decoder.feed(reinterpret_cast<const uint8_t*>(paint.data()), paint.size());
        benchmark::DoNotOptimize(screen);
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * paint.size()));
    state.counters["bytes"] = static_cast<double>(paint.size());
    state.counters["events"] = static_cast<double>(events) / static_cast<double>(state.iterations());
}
BENCHMARK(BM_DecodeFullRepaint)->Unit(benchmark::kMicrosecond);

} // namespace
