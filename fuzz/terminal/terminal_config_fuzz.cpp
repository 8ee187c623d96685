// The terminal's configuration file reader: any bytes, any length. What it reads must be a
// consistent configuration that saves back to exactly 2134 bytes and reloads to the same thing.

#include "termcore/TerminalConfig.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    termcore::TerminalConfig config;
    config.loadBytes(data, size);
    const auto& recent = config.recent();
    if (recent.count() < 0 || recent.count() > termcore::RecentFileList::kCapacity)
        std::abort();
    if (config.portName().size() > 9)
        std::abort();
    for (int i = 0; i < recent.count(); ++i) {
        if (recent.path(i).size() > 255 || recent.label(i).size() > 255 || recent.path(i).empty())
            std::abort();
    }
    recent.newestOfKind(termcore::FileKind::Any);
    const auto bytes = config.toBytes();
    if (bytes.size() != termcore::TerminalConfig::kFileSize)
        std::abort();
    termcore::TerminalConfig again;
    again.loadBytes(bytes.data(), bytes.size());
    if (again.toBytes() != bytes)
        std::abort();
    // The recent list keeps working on what was read.
    config.recent().add("/fuzz/file.bin", termcore::FileKind::Received);
    config.recent().remove(0);
    return 0;
}
