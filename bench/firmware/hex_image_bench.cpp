// HexImageLoader on the largest image it accepts (0xFFFFF bytes, 16-byte records, about 2.9 MB
// of text), side by side with `objcopy -I ihex -O binary` converting the same file. Both read
// the file from disk and produce the flat image; objcopy also pays for its process start and
// for writing its output file, which is its normal way of working.

#include "firmware/HexImageLoader.h"
#include "firmware/RomContainer.h"

#include "firmware/FirmwareTestFiles.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <random>
#include <unistd.h>

namespace tf = firmware::testfiles;

namespace {

constexpr std::size_t kImageSize = firmware::HexImageLoader::kAddressSpace - 1;

struct BenchFiles {
    std::filesystem::path folder;
    std::string hexPath;
    std::string binPath;
    std::string hexText;
    std::vector<std::uint8_t> image;

    BenchFiles()
    {
        folder =
            std::filesystem::temp_directory_path() / ("tessaban-hex-bench-" + std::to_string(::getpid()));
        std::filesystem::create_directories(folder);
        hexPath = (folder / "image.hex").string();
        binPath = (folder / "image.bin").string();
        std::mt19937 random(1);
        image.resize(kImageSize);
        for (auto& b : image)
            b = static_cast<std::uint8_t>(random());
        hexText = tf::hexFromImage(image);
        tf::writeFile(hexPath, hexText);
    }
    ~BenchFiles()
    {
        std::error_code ec;
        std::filesystem::remove_all(folder, ec);
    }
};

BenchFiles& files()
{
    static BenchFiles instance;
    return instance;
}

void HexImageLoaderLoadFile(benchmark::State& state)
{
    BenchFiles& f = files();
    firmware::HexImageLoader loader;
    std::vector<std::uint8_t> buffer;
    std::size_t start = 0, length = 0;
    for (auto _ : state) {
        if (!loader.load(f.hexPath, buffer, start, length)) {
            state.SkipWithError(loader.errorText().c_str());
            return;
        }
        benchmark::DoNotOptimize(buffer.data());
    }
    if (length != kImageSize + 2 || !std::equal(f.image.begin(), f.image.end(), buffer.begin()))
        state.SkipWithError("loaded image differs from the source");
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * f.hexText.size()));
    state.counters["hex_bytes"] = static_cast<double>(f.hexText.size());
}
BENCHMARK(HexImageLoaderLoadFile)->Unit(benchmark::kMillisecond)->UseRealTime();

void HexImageLoaderLoadText(benchmark::State& state)
{
    BenchFiles& f = files();
    firmware::HexImageLoader loader;
    std::vector<std::uint8_t> buffer;
    std::size_t start = 0, length = 0;
    for (auto _ : state) {
        loader.loadText(f.hexText, buffer, start, length);
        benchmark::DoNotOptimize(buffer.data());
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * f.hexText.size()));
}
BENCHMARK(HexImageLoaderLoadText)->Unit(benchmark::kMillisecond)->UseRealTime();

void ObjcopyIhexToBinary(benchmark::State& state)
{
    BenchFiles& f = files();
    const std::string command = "objcopy -I ihex -O binary '" + f.hexPath + "' '" + f.binPath + "'";
    for (auto _ : state) {
        if (std::system(command.c_str()) != 0) {
            state.SkipWithError("objcopy failed or is not installed");
            return;
        }
    }
    // Both tools must have produced the same flat image from the file.
    std::vector<std::uint8_t> written(kImageSize + 1);
    std::size_t got = 0;
    if (std::FILE* out = std::fopen(f.binPath.c_str(), "rb")) {
        got = std::fread(written.data(), 1, written.size(), out);
        std::fclose(out);
    }
    if (got != kImageSize || !std::equal(f.image.begin(), f.image.end(), written.begin()))
        state.SkipWithError("objcopy wrote another image");
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * f.hexText.size()));
}
BENCHMARK(ObjcopyIhexToBinary)->Unit(benchmark::kMillisecond)->UseRealTime();

void UnpackRomLargest(benchmark::State& state)
{
    const std::string text(firmware::kRomMaxPayloadWords, ':');
    const std::vector<std::uint8_t> rom = tf::encodeRom(text, firmware::kRomTargetServos);
    firmware::RomContents out;
    for (auto _ : state) {
        firmware::unpackRom(std::span<const std::uint8_t>(rom), out);
        benchmark::DoNotOptimize(out.hexText.data());
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * rom.size()));
}
BENCHMARK(UnpackRomLargest)->Unit(benchmark::kMicrosecond);

} // namespace
