// TerminalScreen ingest: console-like text with line feeds, carriage returns, cursor
// positioning and colour sequences, in the 1024-byte blocks the window hands over.
// Target: at least 100 MB/s.

#include "termcore/TerminalScreen.h"

#include <benchmark/benchmark.h>

#include <string>

namespace {

std::string mixedText(size_t size)
{
    std::string out;
    int line = 0;
    while (out.size() < size) {
        switch (line % 8) {
        case 0:
            out += "\x1b[0mKZ-7 console> ";
            break;
        case 1:
            out += "\x1b[" + std::to_string(line % 30 + 1) + ";" + std::to_string(line % 70 + 1) + "H";
            break;
        case 2:
            out += "\x1b[2J\x1b[1;1H";
            break;
        default:
            break;
        }
        out += "ID:" + std::to_string(line % 254) + " pos=0512 speed=100 load=-12 temp=33 volt=11.8 ok";
        out += (line % 3 == 0) ? "\r\n" : "\n";
        ++line;
    }
    out.resize(size);
    return out;
}

// Feeds text to an 80-column screen in the 1024-byte blocks the port hands over.
void ingest(benchmark::State& state, const std::string& text)
{
    termcore::TerminalScreen screen;
    screen.create(80, 1200, {10, 16}, 800, 576);
    const auto* bytes = reinterpret_cast<const uint8_t*>(text.data());
    for (auto _ : state) {
        for (size_t pos = 0; pos < text.size(); pos += 1024)
            screen.write(bytes + pos, std::min<size_t>(1024, text.size() - pos));
        benchmark::DoNotOptimize(screen.cursor());
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(text.size()));
}

void BM_TerminalScreenIngest(benchmark::State& state)
{
    ingest(state, mixedText(1 << 20));
}
BENCHMARK(BM_TerminalScreenIngest)->Unit(benchmark::kMillisecond);

void BM_TerminalScreenPlainLines(benchmark::State& state)
{
    std::string text;
    while (text.size() < (1u << 20))
        text += "The quick brown fox jumps over the lazy dog 0123456789 abcdefghijklmnopqrstuv\r\n";
    ingest(state, text);
}
BENCHMARK(BM_TerminalScreenPlainLines)->Unit(benchmark::kMillisecond);

} // namespace
