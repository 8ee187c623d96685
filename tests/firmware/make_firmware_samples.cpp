// Writes the sample firmware files into a folder (default: the source tree's data/samples).
// Usage: make_firmware_samples [FOLDER]

#include "firmware/SampleFirmware.h"

#include <cstdio>
#include <filesystem>

int main(int argc, char** argv)
{
    const std::filesystem::path folder = argc > 1
                                             ? std::filesystem::path(argv[1])
                                             : std::filesystem::path(TESSABAN_SOURCE_DIR) / "data/samples";
    std::error_code ec;
    std::filesystem::create_directories(folder, ec);
    for (const auto& sample : firmware::testfiles::sampleFiles()) {
        const std::string path = (folder / sample.name).string();
        if (!firmware::testfiles::writeFile(path, std::string_view(sample.bytes))) {
            std::fprintf(stderr, "cannot write %s\n", path.c_str());
            return 1;
        }
        std::printf("%s (%zu bytes)\n", path.c_str(), sample.bytes.size());
    }
    return 0;
}
