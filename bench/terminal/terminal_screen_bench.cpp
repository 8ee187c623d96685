// TerminalScreen ingest: console-like text with line feeds, carriage returns, cursor
// positioning and colour sequences, in the 1024-byte blocks the window hands over.
// Target: at least 100 MB/s plain; at least 50 MB/s of received bytes with time stamps and with
// the hex view on (formatting plus the screen taking the longer text).

#include "termcore/ReceiveFormatter.h"
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

enum class View { Plain, Timestamps, Hex, StampedHex };

// Feeds text to an 80-column screen in the 1024-byte blocks the port hands over, through the
// receive formatter as the window does when the view adds stamps or hex. Bytes processed are
// received bytes.
void ingest(benchmark::State& state, const std::string& text, View view = View::Plain)
{
    termcore::TerminalScreen screen;
    screen.create(80, 1200, {10, 16}, 800, 576);
    termcore::ReceiveFormatter formatter;
    formatter.setTimestamps(view == View::Timestamps || view == View::StampedHex);
    formatter.setHex(view == View::Hex || view == View::StampedHex);
    std::string shown;
    const auto* bytes = reinterpret_cast<const uint8_t*>(text.data());
    int64_t ms = 12 * 3600 * 1000;
    for (auto _ : state) {
        for (size_t pos = 0; pos < text.size(); pos += 1024) {
            const size_t n = std::min<size_t>(1024, text.size() - pos);
            if (formatter.passThrough()) {
                screen.write(bytes + pos, n);
                continue;
            }
            shown.clear();
            formatter.format(bytes + pos, n, ++ms, shown);
            screen.write(reinterpret_cast<const uint8_t*>(shown.data()), shown.size());
        }
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

void BM_TerminalScreenIngestTimestamps(benchmark::State& state)
{
    ingest(state, mixedText(1 << 20), View::Timestamps);
}
BENCHMARK(BM_TerminalScreenIngestTimestamps)->Unit(benchmark::kMillisecond);

void BM_TerminalScreenIngestHexView(benchmark::State& state)
{
    ingest(state, mixedText(1 << 20), View::Hex);
}
BENCHMARK(BM_TerminalScreenIngestHexView)->Unit(benchmark::kMillisecond);

void BM_TerminalScreenIngestHexViewTimestamps(benchmark::State& state)
{
    ingest(state, mixedText(1 << 20), View::StampedHex);
}
BENCHMARK(BM_TerminalScreenIngestHexViewTimestamps)->Unit(benchmark::kMillisecond);

} // namespace
